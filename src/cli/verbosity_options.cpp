#include "cli/verbosity_options.h"

namespace quillharbor {

namespace {

constexpr std::string_view kGroup = "verbosity";

}  // namespace

std::vector<CommandOption> verbosityOptions(std::optional<Verbosity>& given) {
    const auto setting = [&given](Verbosity verbosity) {
        return [&given, verbosity](std::string_view) -> Status {
            given = verbosity;
            return {};
        };
    };
    return {
        CommandOption{"--quiet", false, setting(Verbosity::Quiet), 'q', kGroup},
        CommandOption{"--verbose", false, setting(Verbosity::Verbose), 'v', kGroup},
    };
}

Status mergeVerbosity(Invocation& invocation, std::optional<Verbosity> given) {
    if (!given) {
        return {};
    }
    if (invocation.verbosityGiven && invocation.verbosity != *given) {
        return Error{"--quiet and --verbose exclude each other"};
    }
    invocation.verbosity = *given;
    invocation.verbosityGiven = true;
    return {};
}

}  // namespace quillharbor
