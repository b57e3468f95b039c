#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "storage/default_task_options.h"
#include "storage/global_options.h"
#include "storage/setting_entry.h"

namespace quillharbor {

// The configuration file "Quillharbor.ini" in the program directory. programDir is a directory
// path ending with "/". The file is read once at start-up and written once at close; between
// those moments the two records are the settings.

inline constexpr std::string_view kConfigurationFileName = "Quillharbor.ini";

std::string configurationFilePath(const std::string& programDir);

// The built-in defaults, with the task root "My Downloads/" inside the program directory.
void SetDefaultSettings(GlobalOptions& global, DefaultTaskOptions& defaults,
                        const std::string& programDir);

// Reads every key over the records' current values: a missing file or key keeps the value, a
// value that is not a number keeps it too, integers are cut to their field's width, booleans are
// true for any non-zero number. A non-empty "HTTPProxyPassword" sets SavePassword. On an error
// (the file exists but cannot be read) the records are unchanged; callers may go on with them.
Status LoadSettings(GlobalOptions& global, DefaultTaskOptions& defaults,
                    const std::string& programDir);

// Writes every key in table order, keeping every other line of the file. "HTTPProxyPassword" is
// written only when SavePassword is set; otherwise a line already in the file stays as it is.
// A file that exists but cannot be read is left alone. A value that cannot be stored (a line
// break in it) keeps the file's old line for its key; the others are saved and the error says
// which key was skipped.
Status SaveSettings(const GlobalOptions& global, const DefaultTaskOptions& defaults,
                    const std::string& programDir);

// Every key with its value as SaveSettings writes it, "General" then "Default", in table order.
// HTTPProxyPassword is included whatever SavePassword says and is marked secret.
std::vector<SettingEntry> settingEntries(const GlobalOptions& global,
                                         const DefaultTaskOptions& defaults);

}  // namespace quillharbor
