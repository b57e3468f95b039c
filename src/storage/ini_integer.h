#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillharbor {

// Reads an integer setting the way the configuration file has always been read: blanks around
// it, an optional sign, then decimal digits or hexadecimal ones after "0x" or "$". Anything else,
// or a magnitude beyond 32 bits, is not a number. Callers cut the result to their field's width.
std::optional<std::int64_t> parseIniInteger(std::string_view text);

}  // namespace quillharbor
