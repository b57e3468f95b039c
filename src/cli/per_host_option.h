#pragma once

#include <optional>

#include "cli/argument_reader.h"

namespace quillharbor {

// --per-host N (1 to 16) of `get` and `resume`: at most N slots serve one host at once in this
// run (CliSession::capPerHost).
CommandOption perHostOption(std::optional<int>& cap);

}  // namespace quillharbor
