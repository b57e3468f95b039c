// quillharbor-cli: the command-line front end. Global options come first, then one command with
// its own arguments; each command is one entry of kCommands.

#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "storage/settings_file.h"

namespace quillharbor {
namespace {

constexpr std::string_view kProgram = "quillharbor-cli";
constexpr std::string_view kVersion = QUILLHARBOR_VERSION;

enum class ExitCode { Success = 0, Failure = 1, Usage = 2 };

struct Invocation {
    std::string programDir;  // absolute, ending with "/"
    std::string command;
    std::vector<std::string> arguments;
};

struct Command {
    std::string_view name;
    std::string_view arguments;
    std::string_view summary;
    ExitCode (*run)(const Invocation&);
};

ExitCode runSettings(const Invocation& invocation);

constexpr Command kCommands[] = {
    {"settings", "", "print the effective settings, one Section.Key=value line each", runSettings},
};

void printUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " [--home DIR] COMMAND [ARGUMENTS]\n"
        << "       " << kProgram << " --help | --version\n\nCommands:\n";
    for (const Command& command : kCommands) {
        std::string synopsis = std::string(command.name);
        if (!command.arguments.empty()) {
            synopsis += " " + std::string(command.arguments);
        }
        out << "  " << synopsis << std::string(synopsis.size() < 12 ? 12 - synopsis.size() : 1, ' ')
            << command.summary << "\n";
    }
    out << "\nOptions:\n"
        << "  --home DIR  the program directory, holding Quillharbor.ini and the task files\n"
        << "              (default: the current directory)\n"
        << "  --help      show this help and exit\n"
        << "  --version   show the version and exit\n";
}

ExitCode usageError(std::string_view problem) {
    std::cerr << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'.\n";
    return ExitCode::Usage;
}

Result<std::string> programDirectoryFrom(const std::string& home) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(home, error);
    if (error || !std::filesystem::is_directory(path, error)) {
        return Error{"the program directory '" + home + "' is not a directory"};
    }
    std::string directory = path.lexically_normal().string();
    if (!directory.ends_with('/')) {
        directory += '/';
    }
    return directory;
}

ExitCode runSettings(const Invocation& invocation) {
    if (!invocation.arguments.empty()) {
        return usageError("'settings' takes no arguments");
    }
    GlobalOptions global;
    DefaultTaskOptions defaults;
    SetDefaultSettings(global, defaults, invocation.programDir);
    Status loaded = LoadSettings(global, defaults, invocation.programDir);
    if (!loaded) {
        std::cerr << kProgram << ": " << loaded.error().text << "; showing the built-in defaults\n";
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

ExitCode run(std::span<char* const> args) {
    std::string home = ".";
    std::size_t next = 1;
    for (; next < args.size(); ++next) {
        std::string_view arg = args[next];
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return ExitCode::Success;
        }
        if (arg == "--version") {
            std::cout << kProgram << ' ' << kVersion << '\n';
            return ExitCode::Success;
        }
        if (arg == "--home") {
            if (++next == args.size()) {
                return usageError("--home needs a directory");
            }
            home = args[next];
        } else if (arg.starts_with("--home=")) {
            home = arg.substr(7);
        } else if (arg.starts_with('-')) {
            return usageError("unknown option '" + std::string(arg) + "'");
        } else {
            break;
        }
    }
    if (next == args.size()) {
        return usageError("no command given");
    }
    Invocation invocation{{}, args[next], {args.begin() + next + 1, args.end()}};
    for (const Command& command : kCommands) {
        if (command.name != invocation.command) {
            continue;
        }
        Result<std::string> programDir = programDirectoryFrom(home);
        if (!programDir) {
            return usageError(programDir.error().text);
        }
        invocation.programDir = std::move(programDir).value();
        return command.run(invocation);
    }
    return usageError("unknown command '" + invocation.command + "'");
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    return static_cast<int>(quillharbor::run({argv, static_cast<std::size_t>(argc)}));
}
