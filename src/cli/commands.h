#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/exit_code.h"
#include "cli/invocation.h"

namespace quillharbor {

// A command of the program: `quillharbor-cli [global options] NAME [arguments]`.
struct Command {
    std::string_view name;
    std::string_view synopsis;  // its arguments
    std::string_view summary;   // one line for the program's help
    std::string (*help)();      // the rest of `NAME --help`
    ExitCode (*run)(Invocation&);
};

std::span<const Command> allCommands();

ExitCode runGet(Invocation& invocation);
ExitCode runList(Invocation& invocation);
ExitCode runResume(Invocation& invocation);
ExitCode runRemove(Invocation& invocation);
ExitCode runSettings(Invocation& invocation);
ExitCode runSet(Invocation& invocation);

}  // namespace quillharbor
