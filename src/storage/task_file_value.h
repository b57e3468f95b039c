#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// A task file holds one value per line, so a value's own line breaks are escaped: CR is written
// as "\r", LF as "\n" and a backslash as "\\". Any other backslash in a file is read as it
// stands, so a hand-made file with "C:\dir" means what it says. Values without CR, LF or a
// backslash are written exactly as held.
std::string escapeTaskFileValue(std::string_view value);
std::string unescapeTaskFileValue(std::string_view line);

// Hands the escaped form of value to write(std::string_view) in pieces: the runs of plain bytes
// and the escapes between them, so that a writer streams it without a copy.
template <class Write>
void writeEscapedTaskFileValue(std::string_view value, Write&& write) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '\r' || c == '\n' || c == '\\') {
            write(value.substr(plain, at - plain));
            write(c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\\\");
            plain = at + 1;
        }
    }
    write(value.substr(plain));
}

}  // namespace quillharbor
