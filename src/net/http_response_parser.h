#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/http_response_info.h"

namespace quillharbor {

// Reads an HTTP response from the bytes fed to it and never touches a socket. Its buffer
// doubles as the line assembler for the header and as the unit of body delivery: bytes are
// received into space() and handed over with commit(), and in the body every commit is one piece
// for the handler, without copying.
//
// The header ends at an empty line, or at a line beginning "<HTML>" (any case) from a server
// that sends no header at all: that line and everything after it is body, byte for byte.
class HttpResponseParser {
public:
    // Called from inside commit() and feed(). A handler may call halt() (and from onHeaderEnd
    // readRedirectBody()); it must not feed the parser or start a new response or request.
    class Handler {
    public:
        virtual ~Handler() = default;
        // Before the first line of a response.
        virtual void onHeaderBegin() = 0;
        // After a non-empty header line was kept and its field taken into info().
        virtual void onHeaderData(const std::string& line) = 0;
        // At the end of the header; phase() is then Body or Redirect.
        virtual void onHeaderEnd() = 0;
        // A piece of body; the bytes are valid during the call only.
        virtual void onBody(const char* data, std::size_t length) = 0;
    };

    enum class Phase {
        Header,
        Body,
        Redirect,        // the header ended and had a location: the rest of the response is dropped
        LineTooLong,     // a header line filled the whole buffer
        BadStatusLine,   // an "HTTP/1.x" line without a three-digit status
        TooManyInterim,  // interim (1xx) answers of more than MaxInterimLines lines in all
        Halted,          // halt() was called
    };
    static const char* toString(Phase phase);

    // Bytes the buffer holds: a header line, line end included, must fit in it.
    static constexpr std::size_t BufferSize = 8192;
    // Interim answers (100 Continue, 102 Processing, 103 Early Hints; not 101, which switches the
    // protocol) before the real one are skipped whole, handler and info() untouched, up to this
    // many lines in all, blank ones included: a server sending them without end is refused.
    static constexpr std::size_t MaxInterimLines = 64;

    explicit HttpResponseParser(Handler& handler) : m_handler(handler) {}

    // A new request: forgets everything, info() included.
    void startRequest();
    // The next response of the same request (after a redirect): keeps info() but its location
    // and content range.
    void startResponse();
    // Drops what is buffered and ignores everything fed from now on.
    void halt();
    // In Redirect: the body that follows is read after all (handed to onBody) instead of dropped.
    void readRedirectBody() {
        if (m_phase == Phase::Redirect) {
            m_phase = Phase::Body;
        }
    }

    Phase phase() const { return m_phase; }
    // Whether bytes are still wanted: in the header or the body.
    bool reading() const { return m_phase == Phase::Header || m_phase == Phase::Body; }

    // Where to receive to, and how many bytes fit there (0 unless reading()).
    char* space() { return m_buffer.data() + m_fill; }
    std::size_t room() const { return reading() ? BufferSize - m_fill : 0; }
    // Takes `count` bytes (at most room()) just received into space().
    void commit(std::size_t count);
    // Body bytes the reader received into a block of its own: one piece for the handler, not
    // copied. Nothing is buffered in the body, so no order is lost; dropped unless in the body.
    void takeBody(const char* data, std::size_t length);
    // Copies the bytes in as many commits as needed; returns how many were taken, fewer than
    // given once the parser stopped reading.
    std::size_t feed(std::string_view bytes);

    const HttpResponseInfo& info() const { return m_info; }
    HttpResponseInfo& info() { return m_info; }

private:
    void takeLines();
    // False when the line starts the body.
    bool headerLine(std::string line);
    // Whether line belongs to an interim answer, which is skipped.
    bool skipInterim(const std::string& line);
    void endHeader();
    void applyField(const std::string& line);
    bool applyStatusLine(const std::string& line);
    void deliverBuffer(std::size_t from);

    Handler& m_handler;
    Phase m_phase = Phase::Header;
    std::array<char, BufferSize> m_buffer{};
    std::size_t m_fill = 0;
    std::size_t m_lineCount = 0;
    bool m_interim = false;  // within the lines of an interim answer
    std::size_t m_interimLines = 0;
    HttpResponseInfo m_info;
};

}  // namespace quillharbor
