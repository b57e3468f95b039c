#include "cli/argument_reader.h"

#include <charconv>

namespace quillharbor {

Result<std::vector<std::string>> readArguments(std::span<const std::string> arguments,
                                               std::span<const CommandOption> options) {
    std::vector<std::string> operands;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--") {
            operands.insert(operands.end(), arguments.begin() + index + 1, arguments.end());
            break;
        }
        // A lone "-" is an operand, as it is for most programs.
        if (!argument.starts_with('-') || argument == "-") {
            operands.push_back(argument);
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const CommandOption* known = nullptr;
        for (const CommandOption& option : options) {
            if (option.name == name) {
                known = &option;
            }
        }
        if (known == nullptr) {
            return Error{"unknown option '" + std::string(name) + "'"};
        }
        std::string_view value;
        if (equals != std::string::npos) {
            if (!known->takesValue) {
                return Error{std::string(name) + " takes no value"};
            }
            value = std::string_view(argument).substr(equals + 1);
        } else if (known->takesValue) {
            if (++index == arguments.size()) {
                return Error{std::string(name) + " needs a value"};
            }
            value = arguments[index];
        }
        if (Status applied = known->apply(value); !applied) {
            return applied.error();
        }
    }
    return operands;
}

Result<std::optional<int>> readBoundedNumber(std::string_view option, std::string_view text,
                                             int minimum, int maximum, bool infinityAllowed) {
    if (infinityAllowed && (text == "infinity" || text == "inf")) {
        return std::optional<int>();
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        number < minimum || number > maximum) {
        std::string range = std::to_string(minimum) + " to " + std::to_string(maximum);
        if (infinityAllowed) {
            range += ", or infinity";
        }
        return Error{std::string(option) + " takes a whole number from " + range + ", not '" +
                     std::string(text) + "'"};
    }
    return std::optional<int>(number);
}

}  // namespace quillharbor
