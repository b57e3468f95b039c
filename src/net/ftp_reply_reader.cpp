#include "net/ftp_reply_reader.h"

#include <string>

namespace quillharbor {

namespace {

const char* lineEndFor(bool acceptLF) {
    return acceptLF ? "\n" : "\r\n";
}

}  // namespace

FtpReplyReader::FtpReplyReader(bool acceptLF)
    : m_acceptLF(acceptLF), m_lines(lineEndFor(acceptLF)) {}

void FtpReplyReader::setAcceptLF(bool acceptLF) {
    m_acceptLF = acceptLF;
    m_lines.setLineEnd(lineEndFor(acceptLF));
}

std::size_t FtpReplyReader::room() const {
    const std::size_t limit = BufferSize - 1;
    return m_lines.size() >= limit ? 0 : limit - m_lines.size();
}

void FtpReplyReader::feed(std::string_view bytes) {
    m_lines.add(bytes.substr(0, room()), false, false);
}

std::optional<FtpReplyLine> FtpReplyReader::next() {
    const std::size_t length = m_lines.offerLine();
    if (length == 0)
        return std::nullopt;
    FtpReplyLine line;
    line.text.resize(length);
    m_lines.readLine(line.text.data(), length);
    while (!line.text.empty() && (line.text.back() == '\r' || line.text.back() == '\n'))
        line.text.pop_back();
    line.code = replyCode(line.text);
    const bool dash = opensMultiLineReply(line.text);
    if (m_openCode >= 0) {
        line.endsReply = line.code == m_openCode && !dash;
    } else if (dash) {
        m_openCode = line.code;
    } else {
        line.endsReply = line.code >= 0;
    }
    if (line.endsReply)
        m_openCode = -1;
    return line;
}

void FtpReplyReader::clear() {
    m_lines.clear();
    m_openCode = -1;
}

}  // namespace quillharbor
