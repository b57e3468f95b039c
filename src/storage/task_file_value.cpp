#include "storage/task_file_value.h"

#include <algorithm>

namespace quillharbor {

namespace {

bool isEscaped(char c) {
    return c == '\r' || c == '\n' || c == '\\';
}

}  // namespace

char* escapeTaskFileValueTo(std::string_view value, char* out) {
    const char* at = value.data();
    const char* const end = at + value.size();
    for (;;) {
        const char* const special = std::find_if(at, end, isEscaped);
        out = std::copy(at, special, out);
        if (special == end) {
            return out;
        }
        *out++ = '\\';
        *out++ = *special == '\r' ? 'r' : *special == '\n' ? 'n' : '\\';
        at = special + 1;
    }
}

std::string escapeTaskFileValue(std::string_view value) {
    std::string line(kEscapeGrowth * value.size(), '\0');
    line.resize(static_cast<std::size_t>(escapeTaskFileValueTo(value, line.data()) - line.data()));
    return line;
}

std::string unescapeTaskFileValue(std::string_view line) {
    // Most values hold no backslash and are taken whole.
    std::size_t backslash = line.find('\\');
    std::string value(line.substr(0, backslash));
    for (; backslash < line.size(); ++backslash) {
        const char next = backslash + 1 < line.size() ? line[backslash + 1] : '\0';
        if (line[backslash] == '\\' && (next == 'r' || next == 'n' || next == '\\')) {
            value += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++backslash;
        } else {
            value += line[backslash];
        }
    }
    return value;
}

}  // namespace quillharbor
