#pragma once

#include <cstdint>

namespace quillharbor {

// The numbers are stored in task files and shown by the main window, so they never change.
// 6 is not used.
enum class ObjectState : std::int32_t {
    Queued = 0,
    Retrieved = 1,  // retrieved and handed to the link scanner
    Retrieving = 2,
    Failed = 3,             // nothing received
    Incomplete = 4,         // stopped, or part of the file is present
    Removed = 5,            // removed from the queue, or failed after an abort with nothing usable
    ProtocolError = 7,      // HTTP status 400 or above, FTP error reply
    RobotsRequest = 8,      // the engine's own robots.txt request; never shown, never a file
    Excluded = 9,           // excluded by its host's robots rules
    RetrievedByOther = 10,  // already retrieved by another task in this run
    FtpError = 11,
    Done = 12,  // retrieved; not to be scanned, or scanning done
};

}  // namespace quillharbor
