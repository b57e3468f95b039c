#include "net/http_chunked_decoder.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "parser/ascii.h"

namespace quillharbor {

std::size_t ChunkedDecoder::feed(std::string_view bytes, Sink& sink) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        switch (m_step) {
            case Step::Done:
            case Step::Failed:
                return at;
            case Step::Data: {
                const auto count =
                    static_cast<std::size_t>(std::min<std::uint64_t>(m_size, bytes.size() - at));
                sink.onDecoded(bytes.data() + at, count);
                at += count;
                m_size -= count;
                if (m_size == 0) {
                    m_step = Step::DataCarriageReturn;
                }
                break;
            }
            case Step::SizeDigits:
            case Step::Extension:
            case Step::SizeLineFeed:
                sizeByte(bytes[at++]);
                break;
            default:
                tailByte(bytes[at++]);
                break;
        }
    }
    return at;
}

void ChunkedDecoder::sizeByte(char c) {
    switch (m_step) {
        case Step::SizeDigits:
            if (const std::optional<int> value = asciiHexValue(c)) {
                if (m_digits == MaxSizeDigits) {
                    fail("chunk size too large");
                    return;
                }
                m_size = m_size * 16 + static_cast<std::uint64_t>(*value);
                ++m_digits;
                ++m_lineLength;
                return;
            }
            if (m_digits == 0) {
                fail("missing chunk size");
                return;
            }
            if (c == ';' || c == ' ' || c == '\t') {
                m_step = Step::Extension;
                ++m_lineLength;
            } else if (c == '\r') {
                m_step = Step::SizeLineFeed;
            } else if (c == '\n') {
                endSizeLine();
            } else {
                fail("bad chunk size");
            }
            return;
        case Step::Extension:
            if (c == '\n') {
                endSizeLine();
            } else if (c == '\r') {
                m_step = Step::SizeLineFeed;
            } else if (++m_lineLength > MaxLineLength) {
                fail("chunk size line too long");
            }
            return;
        default:  // SizeLineFeed
            if (c != '\n') {
                fail("bad line end after chunk size");
                return;
            }
            endSizeLine();
            return;
    }
}

void ChunkedDecoder::endSizeLine() {
    m_step = m_size == 0 ? Step::Trailer : Step::Data;
    m_digits = 0;
    m_lineLength = 0;
}

void ChunkedDecoder::tailByte(char c) {
    switch (m_step) {
        case Step::DataCarriageReturn:
            // A bare LF after the data is taken as a line end, as it is after a size.
            if (c == '\r') {
                m_step = Step::DataLineFeed;
            } else if (c == '\n') {
                m_step = Step::SizeDigits;
            } else {
                fail("missing line end after chunk data");
            }
            return;
        case Step::DataLineFeed:
            if (c != '\n') {
                fail("missing line end after chunk data");
                return;
            }
            m_step = Step::SizeDigits;
            return;
        case Step::TrailerLineFeed:
            if (c != '\n') {
                fail("bad line end in trailer");
                return;
            }
            break;
        default:  // Trailer
            if (c == '\r') {
                m_step = Step::TrailerLineFeed;
                return;
            }
            if (c != '\n') {
                if (++m_lineLength > MaxLineLength) {
                    fail("trailer line too long");
                    return;
                }
                if (++m_trailerBytes > MaxTrailerBytes) {
                    fail("trailer too long");
                }
                return;
            }
            break;
    }
    // The end of a trailer line: an empty one ends the body.
    m_step = m_lineLength == 0 ? Step::Done : Step::Trailer;
    m_lineLength = 0;
}

void ChunkedDecoder::fail(std::string reason) {
    m_step = Step::Failed;
    m_failure = std::move(reason);
}

ChunkedDecoder::Status ChunkedDecoder::status() const {
    switch (m_step) {
        case Step::Done:
            return Status::Done;
        case Step::Failed:
            return Status::Failed;
        default:
            return Status::Reading;
    }
}

void ChunkedDecoder::reset() {
    *this = ChunkedDecoder();
}

}  // namespace quillharbor
