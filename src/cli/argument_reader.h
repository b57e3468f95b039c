#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result.h"

namespace quillharbor {

// One option of a command: "--name", taking a value ("--name VALUE" or "--name=VALUE") or not.
// apply checks and stores the value (empty for a flag); its error is the user's mistake.
// shortName gives it a one-letter form too ("-l 3", "-l3", flags clustered as in "-qn NAME").
// Options that share a non-empty exclusive group cannot be given together ("--quiet" and
// "--verbose"); the same one twice is fine, the later value wins.
struct CommandOption {
    using Apply = std::function<Status(std::string_view value)>;

    CommandOption(std::string_view name, bool takesValue, Apply apply, char shortName = 0,
                  std::string_view exclusive = {})
        : name(name),
          takesValue(takesValue),
          apply(std::move(apply)),
          shortName(shortName),
          exclusive(exclusive) {}

    std::string_view name;
    bool takesValue;
    Apply apply;
    char shortName;
    std::string_view exclusive;
};

enum class OperandOrder {
    // Options and operands in any order: a command's arguments.
    Mixed,
    // Options end at the first operand, which is returned with everything after it untouched:
    // the global options before a command.
    OptionsFirst,
};

// Reads arguments GNU style, "--" ending the options. Each option is applied as it comes, so a
// later one wins. Returns the operands, or the first mistake as a text for the user ("unknown
// option '--levles'; did you mean '--levels'?", "--levels needs a value", "--quiet and
// --verbose exclude each other").
Result<std::vector<std::string>> readArguments(std::span<const std::string> arguments,
                                               std::span<const CommandOption> options,
                                               OperandOrder order = OperandOrder::Mixed);

// A whole decimal number within [minimum, maximum]; with infinityAllowed, "infinity" (or "inf")
// gives nothing. The error names the option.
Result<std::optional<int>> readBoundedNumber(std::string_view option, std::string_view text,
                                             int minimum, int maximum, bool infinityAllowed);

// The known option name closest to a mistyped one, or nothing when none is close: one it
// begins, or one within a couple of typing slips.
std::optional<std::string_view> closestOption(std::string_view typed,
                                              std::span<const CommandOption> options);

}  // namespace quillharbor
