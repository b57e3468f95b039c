#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillharbor {

// A task file's text taken line by line. A line ends with LF or CR LF. Text after the last line
// end is no line: the writer ends every line, so such text is a file cut short (a number cut
// there would read as a smaller one). The text must outlive the reader and the lines it hands out.
class TaskFileLines {
public:
    explicit TaskFileLines(std::string_view text) : m_text(text) {}

    // The rest of the current line without its end, moving to the next line; nothing when no
    // whole line is left.
    std::optional<std::string_view> next();
    // Skips blanks, tabs and line ends, the way a number is looked for. False when nothing else
    // is left.
    bool skipBlanks();
    // The number (from 1) of the line that next() returns next.
    int lineNumber() const { return m_lineNumber; }

private:
    std::string_view m_text;
    std::size_t m_position = 0;
    int m_lineNumber = 1;
};

}  // namespace quillharbor
