#include "storage/task_file_lines.h"

#include <algorithm>
#include <cstring>

namespace quillharbor {

namespace {

// Large enough that the reads cost little beside the parsing, small enough to stay in the cache.
constexpr std::size_t kPieceSize = 1 << 20;

}  // namespace

std::optional<std::string_view> TaskFileLines::next() {
    std::size_t end = m_text.find('\n', m_position);
    while (end == std::string_view::npos) {
        const std::size_t searched = m_text.size() - m_position;
        if (!readMore()) {
            return std::nullopt;
        }
        end = m_text.find('\n', m_position + searched);
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
    for (;; ++m_position) {
        if (m_position == m_text.size() && !readMore()) {
            return false;
        }
        const char c = m_text[m_position];
        if (c == '\n') {
            ++m_lineNumber;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            return true;
        }
    }
}

bool TaskFileLines::readMore() {
    if (m_file == nullptr || m_readError) {
        return false;
    }
    const std::size_t kept = m_text.size() - m_position;
    if (kept > 0) {
        std::memmove(m_buffer.data(), m_text.data() + m_position, kept);
    }
    // A line longer than half a piece makes room for itself.
    m_buffer.resize(std::max({m_buffer.size(), kPieceSize, 2 * kept}));
    m_position = 0;
    m_text = std::string_view(m_buffer.data(), kept);
    Result<std::size_t> count = m_file->read(m_buffer.data() + kept, m_buffer.size() - kept);
    if (!count) {
        m_readError = count.error();
        return false;
    }
    if (count.value() == 0) {
        m_file = nullptr;
        return false;
    }
    m_text = std::string_view(m_buffer.data(), kept + count.value());
    return true;
}

}  // namespace quillharbor
