#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace quillharbor {

// What the response headers of one request said. The values stay across the responses of a
// request (a redirect's content type stays unless the final response sends its own); only
// `location` and the content range belong to the response being read: a range describes the
// body it came with, and appending another body after it would corrupt a resumed file.
struct HttpResponseInfo {
    // The kept header lines are bounded, so that a server sending header lines without end, or a
    // redirect loop, cannot exhaust memory: past this many bytes the oldest lines are dropped.
    static constexpr std::size_t MaxKeptHeaderBytes = 64 * 1024;

    int statusCode = 0;
    std::string reasonPhrase;
    std::int64_t contentLength = -1;  // -1: none received
    std::string contentType;          // lower-cased
    std::string acceptRanges;
    bool contentRangeSeen = false;
    std::string contentRangeBegin;  // "100" of "bytes 100-199/1000"
    std::string contentRangeEnd;    // "199" of it
    std::optional<std::string> location;
    // How the connection goes on after this response; read afresh for every response.
    bool versionOneOne = false;           // the status line said HTTP/1.1
    std::string transferEncoding;         // lower-cased, every transfer-encoding line joined by ","
    bool connectionClose = false;         // a connection line named "close"
    bool connectionKeepAlive = false;     // ... or "keep-alive"
    std::int64_t responseLength = -1;     // this response's own content length, -1: none
    std::deque<std::string> headerLines;  // every non-empty header line, oldest first
    std::size_t headerBytes = 0;

    void keepHeaderLine(std::string line);
};

}  // namespace quillharbor
