// quillharbor-cli: the command-line front end. Global options come first, then one command with
// its own arguments; each command is one entry of allCommands().

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/usage.h"
#include "cli/verbosity_options.h"
#include "platform/program_directory_lock.h"
#include "platform/result.h"

namespace quillharbor {
namespace {

constexpr std::string_view kVersion = QUILLHARBOR_VERSION;

void printUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " [--home DIR] [-q|-v] COMMAND [ARGUMENTS]\n"
        << "       " << kProgram << " COMMAND --help\n"
        << "       " << kProgram << " --help | --version\n\n"
        << "Grabs web and FTP sites for offline browsing with the engine, settings and task\n"
        << "files of the Quillharbor desktop program.\n\nCommands:\n";
    for (const Command& command : allCommands()) {
        std::string synopsis = std::string(command.name);
        if (!command.synopsis.empty()) {
            synopsis += " " + std::string(command.synopsis);
        }
        out << "  " << synopsis;
        if (synopsis.size() < 30) {
            out << std::string(30 - synopsis.size(), ' ');
        } else {
            out << "\n" << std::string(32, ' ');
        }
        out << command.summary << "\n";
    }
    out << "\nOptions:\n"
        << "  --home DIR       the program directory, holding Quillharbor.ini and the task files\n"
        << "                   (default: the current directory, made when missing); downloads\n"
        << "                   go under its TaskRoot\n"
        << "  -q, --quiet      print only errors and the objects that failed\n"
        << "  -v, --verbose    also print every object as it completes, with its state\n"
        << "  -h, --help       show this help and exit\n"
        << "  -V, --version    show the version and exit\n";
}

void printCommandHelp(const Command& command) {
    std::cout << "Usage: " << kProgram << " [--home DIR] " << command.name;
    if (!command.synopsis.empty()) {
        std::cout << ' ' << command.synopsis;
    }
    std::cout << "\n\n" << command.summary << ".\n\n" << command.help();
}

// Made when it does not exist yet, so that a first run can name its own directory.
Result<std::string> programDirectoryFrom(const std::string& home) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(home, error);
    if (!error) {
        std::filesystem::create_directories(path, error);
    }
    if (error || !std::filesystem::is_directory(path, error)) {
        return Error{"the program directory '" + home + "' is not a directory"};
    }
    std::string directory = path.lexically_normal().string();
    if (!directory.ends_with('/')) {
        directory += '/';
    }
    return directory;
}

// Before a "--", the command's arguments ask for its help.
bool asksForHelp(std::span<const std::string> arguments) {
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    return std::any_of(arguments.begin(), end,
                       [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

ExitCode run(std::span<char* const> args) {
    const std::vector<std::string> arguments(args.begin() + 1, args.end());
    std::string home = ".";
    std::optional<Verbosity> verbosity;
    bool help = false;
    bool version = false;
    std::vector<CommandOption> options = verbosityOptions(verbosity);
    options.push_back({"--home", true, [&](std::string_view value) -> Status {
                           home = value;
                           return {};
                       }});
    options.push_back({"--help", false,
                       [&](std::string_view) -> Status {
                           help = true;
                           return {};
                       },
                       'h'});
    options.push_back({"--version", false,
                       [&](std::string_view) -> Status {
                           version = true;
                           return {};
                       },
                       'V'});
    Result<std::vector<std::string>> rest =
        readArguments(arguments, options, OperandOrder::OptionsFirst);
    if (!rest) {
        return usageError(rest.error().text);
    }
    if (help) {
        printUsage(std::cout);
        return ExitCode::Success;
    }
    if (version) {
        std::cout << kProgram << ' ' << kVersion << '\n';
        return ExitCode::Success;
    }
    if (rest.value().empty()) {
        return usageError("no command given");
    }
    Invocation invocation;
    invocation.command = rest.value().front();
    invocation.arguments.assign(rest.value().begin() + 1, rest.value().end());
    invocation.verbosity = verbosity.value_or(Verbosity::Normal);
    invocation.verbosityGiven = verbosity.has_value();
    invocation.terminalFd = ::isatty(STDOUT_FILENO) ? STDOUT_FILENO : -1;
    const auto commands = allCommands();
    const auto command = std::find_if(commands.begin(), commands.end(), [&](const Command& each) {
        return each.name == invocation.command;
    });
    if (command == commands.end()) {
        return usageError("unknown command '" + invocation.command + "'");
    }
    if (asksForHelp(invocation.arguments)) {
        printCommandHelp(*command);
        return ExitCode::Success;
    }
    Result<std::string> programDir = programDirectoryFrom(home);
    if (!programDir) {
        return usageError(programDir.error().text);
    }
    invocation.programDir = std::move(programDir).value();
    // Held until the command has written its files: a second program on the directory would
    // overwrite them.
    Result<ProgramDirectoryLock> lock = ProgramDirectoryLock::acquire(invocation.programDir);
    if (!lock) {
        printError(lock.error().text);
        return ExitCode::Usage;
    }
    return command->run(invocation);
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    // Output into a closed pipe ("| head") must not end a grab before its files are saved.
    std::signal(SIGPIPE, SIG_IGN);
    return static_cast<int>(quillharbor::run({argv, static_cast<std::size_t>(argc)}));
}
