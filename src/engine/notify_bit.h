#pragma once

#include <cstdint>

namespace quillharbor {

// Bits of the Notify setting: which events the user is told about. The values are stored in
// the configuration file.
enum class NotifyBit : std::uint16_t {
    TaskStarted = 1,
    TaskFinished = 2,
    ConnectionBroken = 4,
    ProgramIdle = 8,
    ProtocolError = 16,
    NetworkError = 32,
};

}  // namespace quillharbor
