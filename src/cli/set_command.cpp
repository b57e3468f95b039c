#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/usage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "storage/settings_file.h"

namespace quillharbor {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A temporary directory, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillharbor-set-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern + "/";
        }
    }
    ~ScratchDirectory() {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The value as the settings read it back from text: the configuration file's own conversions
// (numbers cut to their width, switches read as numbers) decide, through the same table.
Result<std::string> readBack(const std::string& text, const std::string& programDir,
                             const SettingEntry& entry) {
    ScratchDirectory scratch;
    if (scratch.path().empty()) {
        return Error{"cannot make a temporary directory to check the value"};
    }
    if (Status written = replaceFileAtomically(configurationFilePath(scratch.path()), text);
        !written) {
        return written.error();
    }
    GlobalOptions global;
    DefaultTaskOptions defaults;
    SetDefaultSettings(global, defaults, programDir);
    if (Status loaded = LoadSettings(global, defaults, scratch.path()); !loaded) {
        return loaded.error();
    }
    for (const SettingEntry& each : settingEntries(global, defaults)) {
        if (each.section == entry.section && each.key == entry.key) {
            return each.value;
        }
    }
    return Error{"the setting vanished"};
}

}  // namespace

ExitCode runSet(Invocation& invocation) {
    if (invocation.arguments.size() != 1) {
        return usageError("'set' takes one SECTION.KEY=VALUE", "set");
    }
    const std::string& assignment = invocation.arguments.front();
    const std::size_t equals = assignment.find('=');
    const std::size_t dot = assignment.find('.');
    if (equals == std::string::npos || dot == std::string::npos || dot > equals) {
        return usageError("'" + assignment + "' is not SECTION.KEY=VALUE", "set");
    }
    const std::string_view section = std::string_view(assignment).substr(0, dot);
    const std::string_view key = std::string_view(assignment).substr(dot + 1, equals - dot - 1);
    std::string value = assignment.substr(equals + 1);

    GlobalOptions global;
    DefaultTaskOptions defaults;
    SetDefaultSettings(global, defaults, invocation.programDir);
    const std::vector<SettingEntry> entries = settingEntries(global, defaults);
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const SettingEntry& e) {
        return sameName(e.section, section) && sameName(e.key, key);
    });
    if (entry == entries.end()) {
        return usageError("there is no setting " + std::string(section) + "." + std::string(key) +
                              " (`settings` lists them)",
                          "set");
    }
    if (entry->key == "TaskRoot" && !value.empty()) {
        // Task directories are made under it whatever the current directory is.
        if (!value.starts_with('/')) {
            value = invocation.programDir + value;
        }
        if (!value.ends_with('/')) {
            value += '/';
        }
    }

    Result<Profile> profile = Profile::load(configurationFilePath(invocation.programDir));
    if (!profile) {
        printError(profile.error().text);
        return ExitCode::Failure;
    }
    if (Status changed = profile.value().writeString(entry->section, entry->key, value); !changed) {
        return usageError(changed.error().text, "set");
    }
    Result<std::string> stored = readBack(profile.value().text(), invocation.programDir, *entry);
    if (!stored) {
        printError(stored.error().text);
        return ExitCode::Failure;
    }
    if (stored.value() != value) {
        return usageError("'" + value + "' does not fit " + entry->section + "." + entry->key +
                              " (it would read as '" + stored.value() +
                              "'); numbers are decimal and switches 0 or 1",
                          "set");
    }
    if (Status saved = profile.value().save(); !saved) {
        printError(saved.error().text);
        return ExitCode::Failure;
    }
    std::cout << entry->section << '.' << entry->key << '='
              << (entry->secret && !value.empty() ? "(set)" : value) << '\n';
    return ExitCode::Success;
}

}  // namespace quillharbor
