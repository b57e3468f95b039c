#include "storage/task_file_value.h"

namespace quillharbor {

std::string escapeTaskFileValue(std::string_view value) {
    std::string line;
    line.reserve(value.size());
    writeEscapedTaskFileValue(value, [&line](std::string_view piece) { line += piece; });
    return line;
}

std::string unescapeTaskFileValue(std::string_view line) {
    std::string value;
    value.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (line[i] == '\\' && (next == 'r' || next == 'n' || next == '\\')) {
            value += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++i;
        } else {
            value += line[i];
        }
    }
    return value;
}

}  // namespace quillharbor
