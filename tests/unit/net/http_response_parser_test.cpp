#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "net/http_response_parser.h"

namespace quillharbor {
namespace {

// Writes the events as one text: "[" header begin, "D<line>;" header data, "]" header end, and
// the body bytes as they come.
class Log : public HttpResponseParser::Handler {
public:
    void onHeaderBegin() override { text += "["; }
    void onHeaderData(const std::string& line) override {
        text += "D" + line + ";";
        if (onData) {
            onData();
        }
    }
    void onHeaderEnd() override { text += "]"; }
    void onBody(const char* data, std::size_t length) override {
        text.append(data, length);
        ++pieces;
        largestPiece = std::max(largestPiece, length);
        if (onPiece) {
            onPiece();
        }
    }

    std::string text;
    int pieces = 0;
    std::size_t largestPiece = 0;
    std::function<void()> onData;
    std::function<void()> onPiece;
};

struct Parsed {
    std::string log;
    HttpResponseParser::Phase phase;
    HttpResponseInfo info;
};

// Feeds the response in pieces of `step` bytes (0: whole).
Parsed parse(std::string_view response, std::size_t step = 0) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    step = step == 0 ? response.size() : step;
    for (std::size_t at = 0; at < response.size(); at += step) {
        parser.feed(response.substr(at, step));
    }
    return {log.text, parser.phase(), parser.info()};
}

const std::string Response =
    "HTTP/1.1 206 Partial Content\r\n"
    "Content-Type: Text/HTML; charset=ISO-8859-1\r\n"
    "content-length:   2000000000\r\n"
    "Content-Range: bytes 3000000000-4999999999/5000000000\r\n"
    "Accept-Ranges: bytes\n"
    "X-Other: 1\r\n"
    "\r\n"
    "<html>\r\nbody\r\n";

TEST(HttpResponseParserTest, StatusAndFieldsAtEverySplit) {
    const std::string expectedLog =
        "[DHTTP/1.1 206 Partial Content;DContent-Type: Text/HTML; charset=ISO-8859-1;"
        "Dcontent-length:   2000000000;DContent-Range: bytes 3000000000-4999999999/5000000000;"
        "DAccept-Ranges: bytes;DX-Other: 1;]<html>\r\nbody\r\n";
    for (std::size_t step = 0; step <= Response.size(); ++step) {
        const Parsed p = parse(Response, step);
        ASSERT_EQ(p.log, expectedLog) << "step " << step;
        EXPECT_EQ(p.phase, HttpResponseParser::Phase::Body);
        EXPECT_EQ(p.info.statusCode, 206);
        EXPECT_EQ(p.info.reasonPhrase, "Partial Content");
        EXPECT_EQ(p.info.contentType, "text/html; charset=iso-8859-1");
        EXPECT_EQ(p.info.contentLength, 2000000000);
        EXPECT_TRUE(p.info.contentRangeSeen);
        EXPECT_EQ(p.info.contentRangeBegin, "3000000000");
        EXPECT_EQ(p.info.contentRangeEnd, "4999999999");
        EXPECT_EQ(p.info.acceptRanges, "bytes");
        EXPECT_EQ(p.info.headerLines.size(), 6u);
    }
    // Splitting at every single offset into two feeds.
    for (std::size_t at = 0; at <= Response.size(); ++at) {
        Log log;
        HttpResponseParser parser(log);
        parser.startRequest();
        parser.feed(std::string_view(Response).substr(0, at));
        parser.feed(std::string_view(Response).substr(at));
        ASSERT_EQ(log.text, expectedLog) << "split at " << at;
    }
}

TEST(HttpResponseParserTest, LengthsBeyond32Bits) {
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\nContent-Length: 5000000000\r\n\r\n").info.contentLength,
              5000000000);
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\nContentLength: 7\r\n\r\n").info.contentLength, 7);
    for (const char* bad : {"12abc", "-5", "", "99999999999999999999", "0x10"}) {
        EXPECT_EQ(parse(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + bad + "\r\n\r\n")
                      .info.contentLength,
                  -1)
            << bad;
    }
}

TEST(HttpResponseParserTest, ContentRangeShapes) {
    const auto range = [](const std::string& value) {
        const Parsed p = parse("HTTP/1.0 206 OK\r\nContent-Range: " + value + "\r\n\r\n");
        return p.info.contentRangeBegin + "|" + p.info.contentRangeEnd;
    };
    EXPECT_EQ(range("bytes 100-199/1000"), "100|199");
    EXPECT_EQ(range("bytes 100-199"), "100|199");
    EXPECT_EQ(range("bytes */1000"), "*|");
    EXPECT_EQ(range("b"), "|");
}

TEST(HttpResponseParserTest, ResponseWithoutHeaderKeepsEveryByte) {
    const std::string page = "<HtMl>\r\n<body>x</body>\n</html>";
    for (std::size_t step = 1; step <= page.size(); ++step) {
        const Parsed p = parse(page, step);
        ASSERT_EQ(p.log, "[]" + page) << "step " << step;
        EXPECT_EQ(p.info.contentType, "text/html");
        EXPECT_EQ(p.info.statusCode, 0);
    }
}

TEST(HttpResponseParserTest, LocationEndsTheResponseAtTheEmptyLine) {
    const Parsed p = parse("HTTP/1.0 302 Found\r\nLocation:  /next\r\n\r\nmoved page");
    EXPECT_EQ(p.log, "[DHTTP/1.0 302 Found;DLocation:  /next;]");
    EXPECT_EQ(p.phase, HttpResponseParser::Phase::Redirect);
    EXPECT_EQ(p.info.location, "/next");

    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    parser.feed("HTTP/1.0 301 Moved\r\nContent-Type: text/html\r\nLocation: x\r\n\r\n");
    parser.startResponse();
    EXPECT_EQ(parser.phase(), HttpResponseParser::Phase::Header);
    EXPECT_FALSE(parser.info().location);
    EXPECT_EQ(parser.info().contentType, "text/html");  // kept for the next response
    parser.feed("HTTP/1.0 200 OK\r\n\r\nok");
    EXPECT_EQ(log.text,
              "[DHTTP/1.0 301 Moved;DContent-Type: text/html;DLocation: x;]"
              "[DHTTP/1.0 200 OK;]ok");
    EXPECT_EQ(parser.info().headerLines.size(), 4u);
}

TEST(HttpResponseParserTest, HeaderLineLimit) {
    const std::string longest(HttpResponseParser::BufferSize - 1, 'x');
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\n" + longest + "\n\r\nb").phase,
              HttpResponseParser::Phase::Body);
    const std::string tooLong(HttpResponseParser::BufferSize, 'x');
    for (std::size_t step : {std::size_t(0), std::size_t(1000), std::size_t(1)}) {
        const Parsed p = parse("HTTP/1.0 200 OK\r\n" + tooLong + "\r\n\r\nb", step);
        EXPECT_EQ(p.phase, HttpResponseParser::Phase::LineTooLong) << step;
        EXPECT_EQ(p.log, "[DHTTP/1.0 200 OK;");
    }
}

TEST(HttpResponseParserTest, MalformedStatusLines) {
    for (const char* line : {"HTTP/1.1 2x0 OK", "HTTP/1.0 20", "HTTP/1.1"}) {
        const Parsed p = parse(std::string(line) + "\r\n\r\nbody");
        EXPECT_EQ(p.phase, HttpResponseParser::Phase::BadStatusLine) << line;
        EXPECT_EQ(p.log, "[") << line;
    }
    // Other versions are no status line at all.
    EXPECT_EQ(parse("HTTP/2 200\r\n\r\nb").info.statusCode, 0);
    EXPECT_EQ(parse("HTTP/1.1 404\r\n\r\n").info.reasonPhrase, "");
}

TEST(HttpResponseParserTest, BodyComesInBufferSizedPieces) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    const std::string body(3 * HttpResponseParser::BufferSize + 5, 'b');
    EXPECT_EQ(parser.feed("HTTP/1.0 200 OK\r\n\r\n" + body), 19 + body.size());
    EXPECT_EQ(log.largestPiece, HttpResponseParser::BufferSize);
    EXPECT_EQ(log.text, "[DHTTP/1.0 200 OK;]" + body);
}

TEST(HttpResponseParserTest, HaltStopsDeliveryAtOnce) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    log.onData = [&] { parser.halt(); };
    EXPECT_EQ(parser.feed("HTTP/1.0 200 OK\r\nA: 1\r\n\r\nbody"), 29u);
    EXPECT_EQ(log.text, "[DHTTP/1.0 200 OK;");
    EXPECT_EQ(parser.feed("more"), 0u);

    parser.startRequest();
    log.onData = nullptr;
    log.text.clear();
    log.onPiece = [&] { parser.halt(); };
    const std::string body(2 * HttpResponseParser::BufferSize, 'b');
    parser.feed("HTTP/1.0 200 OK\r\n\r\n" + body);
    EXPECT_EQ(log.pieces, 1);
}

TEST(HttpResponseParserTest, EndlessHeaderKeepsBoundedLines) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    const std::string line = "X-Filler: " + std::string(90, 'f') + "\r\n";
    for (int i = 0; i < 20000; ++i) {
        parser.feed(line);
    }
    EXPECT_LE(parser.info().headerBytes, HttpResponseInfo::MaxKeptHeaderBytes);
    EXPECT_GT(parser.info().headerBytes, HttpResponseInfo::MaxKeptHeaderBytes - line.size());
    EXPECT_EQ(parser.phase(), HttpResponseParser::Phase::Header);
}

}  // namespace
}  // namespace quillharbor
