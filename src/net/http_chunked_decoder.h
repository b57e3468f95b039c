#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillharbor {

// Undoes the chunked transfer coding of an HTTP/1.1 body from the bytes fed to it, in pieces
// split anywhere: a chunk size, its extensions, the line ends and the trailer may each arrive a
// byte at a time. Extensions and trailer fields are read past and dropped. Never touches a socket
// and never throws: a malformed or oversized coding ends in Status::Failed with a reason.
class ChunkedDecoder {
public:
    enum class Status {
        Reading,  // more of the body is wanted
        Done,     // the last chunk and the trailer have been read
        Failed,   // the coding is malformed; failure() says how
    };

    // A size line (size and extensions) or a trailer line longer than this is refused.
    static constexpr std::size_t MaxLineLength = 4096;
    // All the trailer lines together.
    static constexpr std::size_t MaxTrailerBytes = 16 * 1024;
    // A chunk size of more hex digits than this is refused: 15 digits stay below 2^60.
    static constexpr std::size_t MaxSizeDigits = 15;

    // Called with each run of decoded body bytes; they are a part of the bytes fed, valid during
    // the call only.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void onDecoded(const char* data, std::size_t length) = 0;
    };

    // Decodes bytes, handing the body bytes to sink; returns how many were taken, fewer than
    // given only once the status is Done (the rest follows the body) or Failed.
    std::size_t feed(std::string_view bytes, Sink& sink);
    Status status() const;
    const std::string& failure() const { return m_failure; }
    // Ready for a new body.
    void reset();

private:
    enum class Step {
        SizeDigits,
        Extension,  // after the size, up to the line end
        SizeLineFeed,
        Data,
        DataCarriageReturn,
        DataLineFeed,
        Trailer,
        TrailerLineFeed,
        Done,
        Failed,
    };

    // One byte of a size line; one of the line end after chunk data or of the trailer.
    void sizeByte(char c);
    void tailByte(char c);
    void endSizeLine();
    void fail(std::string reason);

    Step m_step = Step::SizeDigits;
    std::uint64_t m_size = 0;      // the chunk size being read, then the bytes of it still due
    std::size_t m_digits = 0;      // hex digits of the size read so far
    std::size_t m_lineLength = 0;  // bytes of the current line, its CR excepted
    std::size_t m_trailerBytes = 0;
    std::string m_failure;
};

}  // namespace quillharbor
