#include "cli/argument_reader.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace quillharbor {

namespace {

// Slips a user makes in an option name: a letter left out, doubled, swapped or wrong.
constexpr std::size_t kMaxSlips = 2;

std::size_t editDistance(std::string_view from, std::string_view to) {
    std::vector<std::size_t> previous(to.size() + 1);
    std::vector<std::size_t> current(to.size() + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= from.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t replace = previous[j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, replace});
        }
        std::swap(previous, current);
    }
    return previous[to.size()];
}

class Reader {
public:
    Reader(std::span<const std::string> arguments, std::span<const CommandOption> options)
        : m_arguments(arguments), m_options(options) {}

    Result<std::vector<std::string>> read(OperandOrder order) {
        std::vector<std::string> operands;
        for (m_index = 0; m_index < m_arguments.size(); ++m_index) {
            const std::string& argument = m_arguments[m_index];
            if (argument == "--") {
                operands.insert(operands.end(), m_arguments.begin() + m_index + 1,
                                m_arguments.end());
                break;
            }
            // A lone "-" is an operand, as it is for most programs.
            if (!argument.starts_with('-') || argument == "-") {
                if (order == OperandOrder::OptionsFirst) {
                    operands.insert(operands.end(), m_arguments.begin() + m_index,
                                    m_arguments.end());
                    break;
                }
                operands.push_back(argument);
                continue;
            }
            Status read = argument.starts_with("--") ? readLong(argument) : readCluster(argument);
            if (!read) {
                return read.error();
            }
        }
        return operands;
    }

private:
    Status readLong(std::string_view argument) {
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const auto known =
            std::find_if(m_options.begin(), m_options.end(),
                         [&](const CommandOption& each) { return each.name == name; });
        if (known == m_options.end()) {
            std::string text = "unknown option '" + std::string(name) + "'";
            if (std::optional<std::string_view> near = closestOption(name, m_options)) {
                text += "; did you mean '" + std::string(*near) + "'?";
            }
            return Error{text};
        }
        if (equals != std::string_view::npos) {
            if (!known->takesValue) {
                return Error{std::string(name) + " takes no value"};
            }
            return apply(*known, argument.substr(equals + 1));
        }
        return known->takesValue ? applyNext(*known, name) : apply(*known, {});
    }

    // "-qv", "-l3", "-l 3", "-qn NAME": flags first, a value-taking letter takes the rest.
    Status readCluster(std::string_view argument) {
        for (std::size_t at = 1; at < argument.size(); ++at) {
            const char letter = argument[at];
            const auto known =
                std::find_if(m_options.begin(), m_options.end(),
                             [&](const CommandOption& each) { return each.shortName == letter; });
            if (known == m_options.end()) {
                return Error{"unknown option '-" + std::string(1, letter) + "'"};
            }
            if (!known->takesValue) {
                if (Status applied = apply(*known, {}); !applied) {
                    return applied;
                }
                continue;
            }
            if (at + 1 < argument.size()) {
                return apply(*known, argument.substr(at + 1));
            }
            return applyNext(*known, "-" + std::string(1, letter));
        }
        return {};
    }

    Status applyNext(const CommandOption& option, std::string_view spelled) {
        if (m_index + 1 == m_arguments.size()) {
            return Error{std::string(spelled) + " needs a value"};
        }
        return apply(option, m_arguments[++m_index]);
    }

    Status apply(const CommandOption& option, std::string_view value) {
        if (!option.exclusive.empty()) {
            for (std::string_view given : m_given) {
                const auto other =
                    std::find_if(m_options.begin(), m_options.end(),
                                 [&](const CommandOption& each) { return each.name == given; });
                if (given != option.name && other->exclusive == option.exclusive) {
                    return Error{std::string(given) + " and " + std::string(option.name) +
                                 " exclude each other"};
                }
            }
        }
        m_given.push_back(option.name);
        return option.apply(value);
    }

    std::span<const std::string> m_arguments;
    std::span<const CommandOption> m_options;
    std::size_t m_index = 0;
    std::vector<std::string_view> m_given;
};

}  // namespace

Result<std::vector<std::string>> readArguments(std::span<const std::string> arguments,
                                               std::span<const CommandOption> options,
                                               OperandOrder order) {
    return Reader(arguments, options).read(order);
}

std::optional<std::string_view> closestOption(std::string_view typed,
                                              std::span<const CommandOption> options) {
    std::optional<std::string_view> best;
    std::size_t bestDistance = kMaxSlips + 1;
    for (const CommandOption& option : options) {
        // "--verb" for "--verbose": a beginning long enough to mean something.
        if (typed.size() > 3 && option.name.starts_with(typed)) {
            return option.name;
        }
        const std::size_t distance = editDistance(typed, option.name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = option.name;
        }
    }
    return best;
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
