#pragma once

#include <cstdint>

namespace quillharbor {

// Bits of TTask::Flags; the values are stored in task files.
enum class TaskFlag : std::int32_t {
    FollowFTP = 0x10,               // follow ftp:// links
    TrySlashes = 0x20,              // append "/" to links whose file name has no dot
    Parse = 0x40,                   // rewrite the links of the saved HTML when the task ends
    SkipCertificateCheck = 0x1000,  // fetch https without verifying the servers' certificates
    // Also fetch what the saved pages need to be shown (style sheets, scripts, pictures), even
    // from a page of the last level.
    PageRequisites = 0x80,
    // Name the local files after the site's own folders (host/path) instead of one flat folder.
    SiteLayout = 0x100,
};

}  // namespace quillharbor
