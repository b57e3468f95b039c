#pragma once

#include <cstdint>

namespace quillharbor {

// What a request was, as OnRequestDone reports it; the numbers are the published request types.
// Single steps and high-level requests (marked) share the numbering.
enum class TFtpRequest : std::uint8_t {
    None = 0,
    Open = 1,
    User = 2,
    Password = 3,
    ChangeDirectory = 4,
    Connect = 5,   // high-level: open, user, password
    Receive = 6,   // high-level: connect, change directory, type, port, retrieve, quit
    NameList = 8,  // high-level: port, name list (NLST)
    Port = 9,
    Retrieve = 10,  // high-level: port, retrieve
    Quit = 15,
    Size = 16,
    FileSize = 19,  // high-level: connect, change directory, size, quit
    Type = 36,
    RestartOffset = 37,
    RestartRetrieve = 38,  // high-level: port, restart offset, retrieve
    RestartReceive = 39,   // high-level: like Receive with the restart offset before retrieve
    MachineList = 42,      // high-level: port, machine listing (MLSD)
};

const char* toString(TFtpRequest request);

}  // namespace quillharbor
