#include <iostream>

#include "cli/commands.h"
#include "cli/usage.h"
#include "storage/settings_file.h"

namespace quillharbor {

ExitCode runSettings(Invocation& invocation) {
    if (!invocation.arguments.empty()) {
        return usageError("'settings' takes no arguments", "settings");
    }
    GlobalOptions global;
    DefaultTaskOptions defaults;
    SetDefaultSettings(global, defaults, invocation.programDir);
    Status loaded = LoadSettings(global, defaults, invocation.programDir);
    if (!loaded) {
        printError(loaded.error().text + "; showing the built-in defaults");
    }
    for (const SettingEntry& entry : settingEntries(global, defaults)) {
        std::string_view value = entry.value;
        if (entry.secret && !value.empty()) {
            value = "(set)";
        }
        std::cout << entry.section << '.' << entry.key << '=' << value << '\n';
    }
    return loaded ? ExitCode::Success : ExitCode::Failure;
}

}  // namespace quillharbor
