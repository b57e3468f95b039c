#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// The options a new task starts with, section "Default" of the configuration file. The fields
// carry their INI key names; the initialisers are the built-in defaults.
struct DefaultTaskOptions {
    std::string DirTemplate = "Task";  // without a trailing "/"
    std::string StartingDoc;           // empty: "Starting Document.html"
    bool TrySlashes = false;
    bool Parse = true;
    bool StartAtOnce = true;
    std::uint16_t StartAfter = 10;  // minutes
    std::uint8_t DownloadFrom = 2;  // 1 the starting host, 2 its directory and below, 3 anywhere
    std::uint16_t MaxLevels = 3;    // the dialogs show MaxLevels - 1
    bool MaxLevelsInf = false;
    std::string AcceptedFileExtensions;  // ".htm .html " (each with its dot, a blank after each)
    std::uint16_t MaxFiles = 300;
    bool MaxFilesInf = false;
    bool FollowFTP = false;
    bool PageRequisites = false;
    bool SiteLayout = false;

    // A copy of GlobalOptions::SaveSeparate, kept current whenever the global options are
    // loaded or applied; it has no key of its own.
    bool SaveSeparate = true;

    bool operator==(const DefaultTaskOptions&) const = default;
};

}  // namespace quillharbor
