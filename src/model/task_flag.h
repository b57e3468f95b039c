#pragma once

#include <cstdint>

namespace quillharbor {

// Bits of TTask::Flags; the values are stored in task files.
enum class TaskFlag : std::int32_t {
    FollowFTP = 0x10,               // follow ftp:// links
    TrySlashes = 0x20,              // append "/" to links whose file name has no dot
    Parse = 0x40,                   // rewrite the links of the saved HTML when the task ends
    SkipCertificateCheck = 0x1000,  // fetch https without verifying the servers' certificates
};

}  // namespace quillharbor
