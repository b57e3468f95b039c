#include "storage/task_file_lines.h"

namespace quillharbor {

std::optional<std::string_view> TaskFileLines::next() {
    const std::size_t end = m_text.find('\n', m_position);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view line = m_text.substr(m_position, end - m_position);
    m_position = end + 1;
    ++m_lineNumber;
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

bool TaskFileLines::skipBlanks() {
    for (; m_position < m_text.size(); ++m_position) {
        const char c = m_text[m_position];
        if (c == '\n') {
            ++m_lineNumber;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            return true;
        }
    }
    return false;
}

}  // namespace quillharbor
