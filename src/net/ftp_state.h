#pragma once

#include <cstdint>

namespace quillharbor {

// The FTP client's state; the numbers are the published State values.
enum class TFtpState : std::uint8_t {
    NotConnected = 0,     // the control connection just closed
    Ready = 1,            // no request runs
    BetweenSteps = 2,     // a step of a high-level request ended, the next one is chosen
    LookingUp = 3,        // the server's name is being looked up
    Connected = 4,        // the greeting arrived
    Aborting = 5,         // inside AbortAsync
    WaitingGreeting = 7,  // connecting, then waiting for the greeting
    WaitingReply = 8,     // a command was sent
};

const char* toString(TFtpState state);

}  // namespace quillharbor
