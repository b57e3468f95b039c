#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "net/ftp_reply.h"
#include "net/line_assembler.h"

namespace quillharbor {

// Cuts the bytes of the control connection into reply lines and tells which line ends a reply.
// Lines end at LF (acceptLF) or at CR LF. A multi-line reply opened by "NNN-" ends only at a
// line that starts with the same NNN not followed by "-"; lines in between are continuation
// lines, whatever they start with, so a text line such as "150 files" inside a banner cannot be
// taken for the reply. Touches no socket: the client feeds what it received.
class FtpReplyReader {
public:
    // The control connection's reply buffer: a line must end within BufferSize - 1 bytes.
    static constexpr std::size_t BufferSize = 4096;

    explicit FtpReplyReader(bool acceptLF = true);

    bool acceptLF() const { return m_acceptLF; }
    void setAcceptLF(bool acceptLF);

    // How many more bytes may be fed. 0 means a line longer than the buffer is pending: the
    // server is not speaking FTP and the client gives up on the connection.
    std::size_t room() const;

    // Appends received bytes; at most room() of them are kept.
    void feed(std::string_view bytes);

    // The next complete line, in order; nothing until more bytes are fed.
    std::optional<FtpReplyLine> next();

    // Forgets buffered bytes and any open multi-line reply (a new connection).
    void clear();

private:
    bool m_acceptLF;
    LineAssembler m_lines;
    int m_openCode = -1;  // code of the multi-line reply being read, -1 when none
};

}  // namespace quillharbor
