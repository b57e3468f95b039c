#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/http_chunked_decoder.h"
#include "net/http_response_info.h"

namespace quillharbor {

// Where the body of one response ends. An answer to an HTTP/1.0 request, and any answer that
// names neither a length nor the chunked coding, ends with its connection; an answer to a
// persistent (HTTP/1.1) request ends after its Content-Length bytes or its last chunk, or at once
// for a status that has no body (1xx, 204, 304). Only then may the connection carry another
// request, and only when the server did not say it closes it.
class HttpBodyFraming {
public:
    enum class Kind {
        UntilClose,
        Length,
        Chunked,
    };

    // The header of the response has been read; persistentRequest: it answers an HTTP/1.1
    // request with keep-alive.
    void start(const HttpResponseInfo& info, bool persistentRequest);

    // Takes body bytes as they came off the connection and hands the body to sink (the chunked
    // coding undone); returns how many were taken, fewer than given only once complete() or
    // failed(): the rest is not of this body.
    std::size_t take(std::string_view bytes, ChunkedDecoder::Sink& sink);

    Kind kind() const { return m_kind; }
    // The whole body has been taken (never for UntilClose: only the close tells).
    bool complete() const;
    // The chunked coding was malformed; failure() says how.
    bool failed() const { return m_decoder.status() == ChunkedDecoder::Status::Failed; }
    const std::string& failure() const { return m_decoder.failure(); }
    // The connection may carry the next request once the body is complete.
    bool reusable() const { return m_reusable; }

private:
    Kind m_kind = Kind::UntilClose;
    std::int64_t m_remaining = 0;  // Length: body bytes still due
    ChunkedDecoder m_decoder;
    bool m_reusable = false;
};

}  // namespace quillharbor
