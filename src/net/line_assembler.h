#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillharbor {

// Collects received bytes and cuts them into lines that end with a given line end (the line end
// is part of the line). One complete line at a time is "offered": it is read out, possibly in
// pieces, before the next one is looked for. A line end split across two additions is found.
// There is no maximum line length.
class LineAssembler {
public:
    explicit LineAssembler(std::string lineEnd = "\r\n") : m_lineEnd(std::move(lineEnd)) {}

    const std::string& lineEnd() const { return m_lineEnd; }
    // An empty line end never completes a line.
    void setLineEnd(std::string lineEnd);

    // Appends received bytes. With `edit`, a backspace removes the byte before it, a tab becomes
    // blanks up to the next multiple of 8 and every other byte is kept. Returns what has to be
    // echoed to the peer when `echo` is set (empty otherwise).
    std::string add(std::string_view bytes, bool edit, bool echo);

    // Offers the next complete line unless one is still offered. Returns the offered length
    // (line end included), 0 when no complete line is buffered.
    std::size_t offerLine();

    // Length of the line being offered, or of what is left of it; 0 when none.
    std::size_t offered() const { return m_offered; }

    // Reads up to `size` bytes of the offered line; returns how many were copied.
    std::size_t readLine(char* out, std::size_t size);

    // Offers every buffered byte as one last line, line end or not.
    std::size_t offerRest() { return m_offered = size(); }

    // Discards what is left of the offered line.
    void dropLine();

    // Reads up to `size` buffered bytes regardless of line ends.
    std::size_t readBuffered(char* out, std::size_t size);

    std::size_t size() const { return m_bytes.size() - m_start; }
    bool empty() const { return size() == 0; }
    void clear();

private:
    void consume(std::size_t count);

    std::string m_lineEnd;
    std::string m_bytes;
    std::size_t m_start = 0;       // bytes before this position were read out already
    std::size_t m_searchFrom = 0;  // no line end starts before this position
    std::size_t m_offered = 0;
};

}  // namespace quillharbor
