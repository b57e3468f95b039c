#pragma once

#include <optional>
#include <string>

namespace quillharbor {

// Where the desktop program keeps Quillharbor.ini and the task files: the directory given with
// --home, else "quillharbor/" in the user's data directory (~/.local/share/quillharbor/),
// created when missing. Ends with "/"; nullopt when it is not a directory and cannot be made.
std::optional<std::string> desktopProgramDirectory(const std::optional<std::string>& home);

// Where a new program directory downloads: "Quillharbor/" in the user's download directory.
std::string defaultDesktopTaskRoot();

}  // namespace quillharbor
