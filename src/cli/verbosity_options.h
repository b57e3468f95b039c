#pragma once

#include <optional>
#include <vector>

#include "cli/argument_reader.h"
#include "cli/invocation.h"
#include "cli/verbosity.h"

namespace quillharbor {

// -q/--quiet and -v/--verbose, which exclude each other; given stores the one given.
std::vector<CommandOption> verbosityOptions(std::optional<Verbosity>& given);

// Takes a command's verbosity over the global one; both given and different is a usage mistake.
Status mergeVerbosity(Invocation& invocation, std::optional<Verbosity> given);

}  // namespace quillharbor
