#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace quillharbor {

// A task file's text taken line by line. A line ends with LF or CR LF. Text after the last line
// end is no line: the writer ends every line, so such text is a file cut short (a number cut
// there would read as a smaller one). A line handed out stays valid until the next call.
class TaskFileLines {
public:
    // Lines of text held by the caller, which must outlive the reader.
    explicit TaskFileLines(std::string_view text) : m_text(text) {}
    // Lines of a file read in pieces, so that a task of a million objects never sits whole in
    // memory; a failed read ends the lines and is kept in readError().
    explicit TaskFileLines(FileReader& file) : m_file(&file) {}

    // The rest of the current line without its end, moving to the next line; nothing when no
    // whole line is left.
    std::optional<std::string_view> next();
    // Skips blanks, tabs and line ends, the way a number is looked for. False when nothing else
    // is left.
    bool skipBlanks();
    // The number (from 1) of the line that next() returns next.
    int lineNumber() const { return m_lineNumber; }
    const std::optional<Error>& readError() const { return m_readError; }

private:
    // Keeps the unread text, reads the file's next piece behind it; false at the end.
    bool readMore();

    std::string_view m_text;
    std::size_t m_position = 0;
    int m_lineNumber = 1;
    FileReader* m_file = nullptr;
    std::string m_buffer;
    std::optional<Error> m_readError;
};

}  // namespace quillharbor
