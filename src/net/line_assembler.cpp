#include "net/line_assembler.h"

#include <algorithm>
#include <cstring>

namespace quillharbor {

namespace {
constexpr char Backspace = 8;
constexpr char Tab = 9;
constexpr std::size_t TabWidth = 8;
}  // namespace

void LineAssembler::setLineEnd(std::string lineEnd) {
    m_lineEnd = std::move(lineEnd);
    m_searchFrom = m_start;
}

std::string LineAssembler::add(std::string_view bytes, bool edit, bool echo) {
    std::string echoed;
    if (!edit) {
        m_bytes.append(bytes);
        if (echo)
            echoed.assign(bytes);
        return echoed;
    }
    std::size_t lowest = m_bytes.size();
    for (char byte : bytes) {
        if (byte == Backspace) {
            if (size() > m_offered) {
                m_bytes.pop_back();
                lowest = std::min(lowest, m_bytes.size());
                if (echo)
                    echoed.append("\b \b");
            }
        } else if (byte == Tab) {
            do {
                m_bytes.push_back(' ');
                if (echo)
                    echoed.push_back(' ');
            } while (size() % TabWidth != 0);
        } else {
            m_bytes.push_back(byte);
            if (echo)
                echoed.push_back(byte);
        }
    }
    // Erased bytes may have been part of a searched tail: search again from where they began.
    const std::size_t tail = m_lineEnd.empty() ? 0 : m_lineEnd.size() - 1;
    m_searchFrom = std::min(m_searchFrom, std::max(m_start, lowest > tail ? lowest - tail : 0));
    return echoed;
}

std::size_t LineAssembler::offerLine() {
    if (m_offered > 0 || m_lineEnd.empty())
        return m_offered;
    const std::size_t found = m_bytes.find(m_lineEnd, m_searchFrom);
    if (found == std::string::npos) {
        // A line end that may still be completed starts within the last size - 1 bytes.
        const std::size_t tail = m_lineEnd.size() - 1;
        m_searchFrom = std::max(m_start, m_bytes.size() > tail ? m_bytes.size() - tail : 0);
        return 0;
    }
    m_offered = found + m_lineEnd.size() - m_start;
    return m_offered;
}

std::size_t LineAssembler::readLine(char* out, std::size_t size) {
    const std::size_t count = std::min(size, m_offered);
    std::memcpy(out, m_bytes.data() + m_start, count);
    m_offered -= count;
    consume(count);
    return count;
}

void LineAssembler::dropLine() {
    const std::size_t count = m_offered;
    m_offered = 0;
    consume(count);
}

std::size_t LineAssembler::readBuffered(char* out, std::size_t size) {
    const std::size_t count = std::min(size, this->size());
    std::memcpy(out, m_bytes.data() + m_start, count);
    m_offered -= std::min(m_offered, count);
    consume(count);
    return count;
}

void LineAssembler::clear() {
    m_bytes.clear();
    m_start = 0;
    m_searchFrom = 0;
    m_offered = 0;
}

void LineAssembler::consume(std::size_t count) {
    m_start += count;
    if (m_offered == 0)
        m_searchFrom = m_start;
    // Compact only once the consumed part dominates, so reading many short lines stays linear.
    if (m_start == m_bytes.size()) {
        clear();
    } else if (m_start > m_bytes.size() / 2) {
        m_bytes.erase(0, m_start);
        m_searchFrom -= std::min(m_searchFrom, m_start);
        m_start = 0;
    }
}

}  // namespace quillharbor
