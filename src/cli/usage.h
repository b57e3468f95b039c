#pragma once

#include <string_view>

#include "cli/exit_code.h"

namespace quillharbor {

inline constexpr std::string_view kProgram = "quillharbor-cli";

// Prints "quillharbor-cli: problem" on standard error.
void printError(std::string_view problem);
// printError, then where to find help (the command's own help when one is named); returns Usage.
ExitCode usageError(std::string_view problem, std::string_view command = {});

}  // namespace quillharbor
