#include "net/http_body_framing.h"

#include <algorithm>

namespace quillharbor {

namespace {

constexpr int kSwitchingProtocols = 101;
constexpr int kNoContent = 204;
constexpr int kNotModified = 304;

bool hasNoBody(int status) {
    return (status >= 100 && status < 200) || status == kNoContent || status == kNotModified;
}

// "gzip, chunked": the body is chunked when that is the last coding applied.
bool lastCodingIsChunked(std::string_view codings) {
    const std::size_t comma = codings.rfind(',');
    std::string_view last = comma == std::string_view::npos ? codings : codings.substr(comma + 1);
    while (!last.empty() && (last.front() == ' ' || last.front() == '\t')) {
        last.remove_prefix(1);
    }
    while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) {
        last.remove_suffix(1);
    }
    return last == "chunked";
}

}  // namespace

void HttpBodyFraming::start(const HttpResponseInfo& info, bool persistentRequest) {
    m_decoder.reset();
    m_remaining = 0;
    m_kind = Kind::UntilClose;
    m_reusable = false;
    if (!persistentRequest) {
        return;
    }
    if (hasNoBody(info.statusCode)) {
        m_kind = Kind::Length;
    } else if (!info.transferEncoding.empty()) {
        // Any other coding last leaves only the close to end the body.
        if (lastCodingIsChunked(info.transferEncoding)) {
            m_kind = Kind::Chunked;
        }
    } else if (info.responseLength >= 0) {
        // A redirect's length, which the request's results keep, says nothing of this body.
        m_kind = Kind::Length;
        m_remaining = info.responseLength;
    }
    // After 101 the connection speaks another protocol.
    m_reusable = m_kind != Kind::UntilClose && !info.connectionClose &&
                 (info.versionOneOne || info.connectionKeepAlive) &&
                 info.statusCode != kSwitchingProtocols;
}

std::size_t HttpBodyFraming::take(std::string_view bytes, ChunkedDecoder::Sink& sink) {
    switch (m_kind) {
        case Kind::UntilClose:
            if (!bytes.empty()) {
                sink.onDecoded(bytes.data(), bytes.size());
            }
            return bytes.size();
        case Kind::Length: {
            const auto count = static_cast<std::size_t>(
                std::min<std::int64_t>(m_remaining, static_cast<std::int64_t>(bytes.size())));
            if (count > 0) {
                sink.onDecoded(bytes.data(), count);
            }
            m_remaining -= static_cast<std::int64_t>(count);
            return count;
        }
        case Kind::Chunked:
            return m_decoder.feed(bytes, sink);
    }
    return 0;
}

bool HttpBodyFraming::complete() const {
    switch (m_kind) {
        case Kind::UntilClose:
            return false;
        case Kind::Length:
            return m_remaining == 0;
        case Kind::Chunked:
            return m_decoder.status() == ChunkedDecoder::Status::Done;
    }
    return false;
}

}  // namespace quillharbor
