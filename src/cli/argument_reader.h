#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace quillharbor {

// One option of a command: "--name", taking a value ("--name VALUE" or "--name=VALUE") or not.
// apply checks and stores the value (empty for a flag); its error is the user's mistake.
struct CommandOption {
    std::string_view name;
    bool takesValue = false;
    std::function<Status(std::string_view value)> apply;
};

// Reads a command's arguments: options and operands in any order, "--" ending the options. Each
// option is applied as it comes, so a later one wins. Returns the operands, or the first mistake
// as a text for the user ("unknown option '--x'", "--levels needs a value").
Result<std::vector<std::string>> readArguments(std::span<const std::string> arguments,
                                               std::span<const CommandOption> options);

// A whole decimal number within [minimum, maximum]; with infinityAllowed, "infinity" (or "inf")
// gives nothing. The error names the option.
Result<std::optional<int>> readBoundedNumber(std::string_view option, std::string_view text,
                                             int minimum, int maximum, bool infinityAllowed);

}  // namespace quillharbor
