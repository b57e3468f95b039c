#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// What the Edit Task dialog changes in a task. The task is named by its identity
// (message_identity.h), so an edit that arrives after the task was removed changes nothing.
struct TaskEditParams {
    std::uintptr_t Task = 0;
    bool TrySlashes = false;
    bool Parse = false;
    std::uint16_t StartAfter = 0;  // minutes
    std::string BoundaryPrefix;
    std::uint16_t MaxLevels = 0;
    bool MaxLevelsInf = false;
    std::string Extensions;
    std::uint16_t MaxFiles = 0;
    bool MaxFilesInf = false;
    bool FollowFTP = false;
    bool PageRequisites = false;
    // Names given from now on follow it; files already saved keep theirs.
    bool SiteLayout = false;
    bool SkipCertificateCheck = false;
};

}  // namespace quillharbor
