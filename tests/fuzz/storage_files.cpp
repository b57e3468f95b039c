// The files the program reads back, from the same bytes.
// - A task file text that is accepted must give a task whose counters match its objects and
//   whose file, written again, reads back to the very same file.
// - The settings read from a configuration file, saved and read again over the built-in defaults,
//   must be the same settings. Every value after a "=" is also read as an integer: a number must
//   lie within 32 bits and read back the same from its decimal and hexadecimal forms, with or
//   without blanks around it.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/temp_directory.h"
#include "storage/ini_integer.h"
#include "storage/settings_file.h"
#include "storage/task_file.h"

namespace {

using namespace quillharbor;

void checkTaskFile(std::string_view text) {
    const GlobalOptions settings;
    Result<std::unique_ptr<TTask>> task = parseTaskFile(text, settings);
    if (!task) {
        check(!task.error().text.empty());
        return;
    }
    const TTask& loaded = *task.value();
    const auto count = static_cast<std::int32_t>(loaded.Objects.size());
    check(loaded.Queued == count && loaded.Total == count);
    check(loaded.State != TaskState::Running);
    for (const TDnObj& object : loaded.Objects) {
        check(object.Task == &loaded && object.InList == GlobalList::None);
    }
    const std::string written = composeTaskFile(loaded);
    Result<std::unique_ptr<TTask>> again = parseTaskFile(written, settings);
    check(again.ok());
    check(composeTaskFile(*again.value()) == written);
}

void checkInteger(std::string_view text) {
    const std::optional<std::int64_t> number = parseIniInteger(text);
    check(parseIniInteger(" \t" + std::string(text) + "\t ") == number);
    if (!number)
        return;
    const std::uint64_t magnitude = *number < 0 ? -*number : *number;
    check(magnitude <= 0xFFFFFFFF);
    char hex[32];
    std::snprintf(hex, sizeof hex, "%s0x%" PRIx64, *number < 0 ? "-" : "", magnitude);
    check(parseIniInteger(hex) == number && parseIniInteger(std::to_string(*number)) == number);
}

void checkSettingsFile(std::string_view input) {
    static const test::TempDirectory directory("/dev/shm");
    for (std::size_t at = input.find('='); at != std::string_view::npos;
         at = input.find('=', at + 1)) {
        const std::string_view rest = input.substr(at + 1);
        checkInteger(rest.substr(0, rest.find_first_of("\r\n")));
    }
    check(replaceFileAtomically(configurationFilePath(directory.path()), input).ok());
    GlobalOptions global;
    DefaultTaskOptions defaults;
    SetDefaultSettings(global, defaults, directory.path());
    check(LoadSettings(global, defaults, directory.path()).ok());
    (void)SaveSettings(global, defaults, directory.path());
    GlobalOptions globalAgain;
    DefaultTaskOptions defaultsAgain;
    SetDefaultSettings(globalAgain, defaultsAgain, directory.path());
    check(LoadSettings(globalAgain, defaultsAgain, directory.path()).ok());
    check(globalAgain == global && defaultsAgain == defaults);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkTaskFile(asText(data, size));
    checkSettingsFile(asText(data, size));
    return 0;
}
