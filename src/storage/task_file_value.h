#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillharbor {

// A task file holds one value per line, so a value's own line breaks are escaped: CR is written
// as "\r", LF as "\n" and a backslash as "\\". Any other backslash in a file is read as it
// stands, so a hand-made file with "C:\dir" means what it says. Values without CR, LF or a
// backslash are written exactly as held.
std::string escapeTaskFileValue(std::string_view value);
std::string unescapeTaskFileValue(std::string_view line);

// The escaped form of a value is at most this many times its size.
inline constexpr std::size_t kEscapeGrowth = 2;

// Writes the escaped form of value at out, which has room for kEscapeGrowth * value.size()
// bytes, and returns its end: a writer formats straight into its buffer.
char* escapeTaskFileValueTo(std::string_view value, char* out);

}  // namespace quillharbor
