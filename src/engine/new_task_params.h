#pragma once

#include <cstdint>
#include <string>

#include "model/grab_options.h"

namespace quillharbor {

// What a new task is made from: prepared from the defaults (Engine::PrepareNewTaskParams),
// changed by the New Task dialog or by the drop handling, read by task creation.
struct NewTaskParams {
    std::string URL;
    std::string Name;
    std::string StartingDoc;  // empty: "Starting Document.html"
    bool TrySlashes = false;
    bool Parse = false;
    bool StartAtOnce = false;       // StartAfter is then ignored
    std::uint16_t StartAfter = 0;   // minutes
    std::uint8_t DownloadFrom = 0;  // 1 starting host, 2 its directory and below, 3 anywhere
    std::string BoundaryPrefix;
    std::uint16_t MaxLevels = 0;
    bool MaxLevelsInf = false;
    std::string Extensions;
    std::uint16_t MaxFiles = 0;
    bool MaxFilesInf = false;
    bool FollowFTP = false;
    bool SkipCertificateCheck = false;
    bool PageRequisites = false;
    bool SiteLayout = false;
    std::string FtpPassword;
    std::string FtpUser;
    // The task's folder when the user named one; empty: the task root's (TaskRoot + Name).
    std::string Directory;
    GrabOptions Grab;
};

}  // namespace quillharbor
