#include <gtest/gtest.h>

#include <string>

#include "net/http_chunked_decoder.h"

namespace quillharbor {
namespace {

class Collect : public ChunkedDecoder::Sink {
public:
    void onDecoded(const char* data, std::size_t length) override { body.append(data, length); }
    std::string body;
};

struct Decoded {
    ChunkedDecoder::Status status;
    std::string body;
    std::size_t taken;  // bytes of the input taken in all
    std::string failure;
};

// Feeds the coded body split at `split` (and then byte by byte when oneByte is set).
Decoded decode(std::string_view coded, std::size_t split, bool oneByte = false) {
    ChunkedDecoder decoder;
    Collect sink;
    std::size_t taken = decoder.feed(coded.substr(0, split), sink);
    for (std::size_t at = split; at < coded.size(); at += oneByte ? 1 : coded.size()) {
        taken += decoder.feed(coded.substr(at, oneByte ? 1 : coded.size()), sink);
    }
    return {decoder.status(), sink.body, taken, decoder.failure()};
}

using Status = ChunkedDecoder::Status;

TEST(ChunkedDecoderTest, DecodesTheSameWhereverTheBytesAreSplit) {
    struct Case {
        const char* name;
        std::string coded;
        std::string body;
    };
    const Case cases[] = {
        {"plain", "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", "hello world"},
        {"hex sizes in both cases", "a\r\n0123456789\r\nB\r\nabcdefghijk\r\n0\r\n\r\n",
         "0123456789abcdefghijk"},
        {"extensions", "3;name=\"v;x\"\r\nabc\r\n2 ; q\r\nde\r\n0;last\r\n\r\n", "abcde"},
        {"trailer", "3\r\nabc\r\n0\r\nExpires: never\r\nX-Sum: 1\r\n\r\n", "abc"},
        {"bare line feeds", "3\nabc\n0\n\n", "abc"},
        {"no data at all", "0\r\n\r\n", ""},
        {"a CR LF inside the data", "4\r\n\r\n\r\n\r\n0\r\n\r\n", "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        for (std::size_t split = 0; split <= c.coded.size(); ++split) {
            for (const bool oneByte : {false, true}) {
                const Decoded d = decode(c.coded, split, oneByte);
                ASSERT_EQ(d.status, Status::Done) << c.name << " split " << split << d.failure;
                ASSERT_EQ(d.body, c.body) << c.name << " split " << split;
                ASSERT_EQ(d.taken, c.coded.size()) << c.name << " split " << split;
            }
        }
    }
}

TEST(ChunkedDecoderTest, StopsAtTheEndOfTheBody) {
    const std::string coded = "2\r\nab\r\n0\r\n\r\n";
    const Decoded d = decode(coded + "HTTP/1.1 200 OK\r\n", coded.size() + 3);
    EXPECT_EQ(d.status, Status::Done);
    EXPECT_EQ(d.body, "ab");
    EXPECT_EQ(d.taken, coded.size());
}

TEST(ChunkedDecoderTest, AnUnfinishedBodyWantsMore) {
    for (const char* coded :
         {"", "5", "5\r\nhel", "5\r\nhello", "5\r\nhello\r\n0\r\n", "0\r\nX-Sum: 1\r\n"}) {
        EXPECT_EQ(decode(coded, 0).status, Status::Reading) << coded;
    }
}

TEST(ChunkedDecoderTest, RefusesMalformedAndOversizedCodings) {
    const std::string longExtension(ChunkedDecoder::MaxLineLength, 'x');
    const std::string longTrailerLine(ChunkedDecoder::MaxLineLength + 1, 'x');
    std::string longTrailer = "0\r\n";
    for (int i = 0; i < 5; ++i) {
        longTrailer += "X-Pad: " + std::string(ChunkedDecoder::MaxLineLength - 10, 'p') + "\r\n";
    }
    struct Case {
        std::string coded;
        const char* failure;
    };
    const Case cases[] = {
        {"\r\nabc\r\n", "missing chunk size"},
        {";x\r\n", "missing chunk size"},
        {"-1\r\n", "missing chunk size"},
        {"5x\r\n", "bad chunk size"},
        {"1000000000000000\r\n", "chunk size too large"},
        {"5\rhello", "bad line end after chunk size"},
        {"3\r\nabcd\r\n", "missing line end after chunk data"},
        {"3\r\nabc\rx", "missing line end after chunk data"},
        {"3;" + longExtension + "\r\n", "chunk size line too long"},
        {"0\r\n" + longTrailerLine + "\r\n", "trailer line too long"},
        {longTrailer, "trailer too long"},
        {"0\r\nX: 1\rx", "bad line end in trailer"},
    };
    for (const Case& c : cases) {
        for (const bool oneByte : {false, true}) {
            const Decoded d = decode(c.coded, 0, oneByte);
            EXPECT_EQ(d.status, Status::Failed) << c.coded.substr(0, 40);
            EXPECT_EQ(d.failure, c.failure) << c.coded.substr(0, 40);
            EXPECT_LT(d.taken, c.coded.size() + 1);
        }
    }
}

}  // namespace
}  // namespace quillharbor
