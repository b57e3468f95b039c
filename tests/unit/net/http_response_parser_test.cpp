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

using Phase = HttpResponseParser::Phase;

TEST(HttpResponseParserTest, StatusAndFieldsAtEveryPieceSize) {
    const std::string response =
        "HTTP/1.1 206 Partial Content\r\n"
        "Content-Type: Text/HTML; charset=ISO-8859-1\r\n"
        "content-length:   2000000000\r\n"
        "Content-Range: bytes 3000000000-4999999999/5000000000\r\n"
        "Accept-Ranges: bytes\n"
        "\r\n"
        "<html>\r\nbody\r\n";
    for (std::size_t step = 0; step <= response.size(); ++step) {
        const Parsed p = parse(response, step);
        ASSERT_EQ(p.log,
                  "[DHTTP/1.1 206 Partial Content;DContent-Type: Text/HTML; charset=ISO-8859-1;"
                  "Dcontent-length:   2000000000;DContent-Range: bytes "
                  "3000000000-4999999999/5000000000;DAccept-Ranges: bytes;]<html>\r\nbody\r\n")
            << "step " << step;
        EXPECT_EQ(p.phase, Phase::Body);
        EXPECT_EQ(p.info.statusCode, 206);
        EXPECT_EQ(p.info.reasonPhrase, "Partial Content");
        EXPECT_EQ(p.info.contentType, "text/html; charset=iso-8859-1");
        EXPECT_EQ(p.info.contentLength, 2000000000);
        EXPECT_TRUE(p.info.contentRangeSeen);
        EXPECT_EQ(p.info.contentRangeBegin + "|" + p.info.contentRangeEnd, "3000000000|4999999999");
        EXPECT_EQ(p.info.acceptRanges, "bytes");
    }
}

TEST(HttpResponseParserTest, FieldValuesAndStatusLines) {
    const struct {
        std::string head;  // after the status line "HTTP/1.0 200 OK"
        std::int64_t length;
        std::string range;
    } fields[] = {
        {"Content-Length: 5000000000", 5000000000, "|"},
        {"ContentLength: 7", 7, "|"},
        {"Content-Length: 12abc", -1, "|"},
        {"Content-Length: -5", -1, "|"},
        {"Content-Length: ", -1, "|"},
        {"Content-Length: 99999999999999999999", -1, "|"},
        {"Content-Range: bytes 100-199", -1, "100|199"},
        {"Content-Range: bytes */1000", -1, "*|"},
        {"Content-Range: b", -1, "|"},
    };
    for (const auto& f : fields) {
        const Parsed p = parse("HTTP/1.0 200 OK\r\n" + f.head + "\r\n\r\n");
        EXPECT_EQ(p.info.contentLength, f.length) << f.head;
        EXPECT_EQ(p.info.contentRangeBegin + "|" + p.info.contentRangeEnd, f.range) << f.head;
    }
    for (const char* line : {"HTTP/1.1 2x0 OK", "HTTP/1.0 20", "HTTP/1.1"}) {
        const Parsed p = parse(std::string(line) + "\r\n\r\nbody");
        EXPECT_EQ(p.phase, Phase::BadStatusLine) << line;
        EXPECT_EQ(p.log, "[") << line;
    }
    // Other versions are no status line at all.
    EXPECT_EQ(parse("HTTP/2 200\r\n\r\nb").info.statusCode, 0);
    EXPECT_EQ(parse("HTTP/1.1 404\r\n\r\n").info.reasonPhrase, "");
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
    EXPECT_EQ(p.phase, Phase::Redirect);
    EXPECT_EQ(p.info.location, "/next");

    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    parser.feed("HTTP/1.0 301 Moved\r\nContent-Type: text/html\r\nLocation: x\r\n\r\n");
    parser.startResponse();
    EXPECT_EQ(parser.phase(), Phase::Header);
    EXPECT_FALSE(parser.info().location);
    EXPECT_EQ(parser.info().contentType, "text/html");  // kept for the next response
    parser.feed("HTTP/1.0 200 OK\r\n\r\nok");
    EXPECT_EQ(log.text,
              "[DHTTP/1.0 301 Moved;DContent-Type: text/html;DLocation: x;]"
              "[DHTTP/1.0 200 OK;]ok");
    EXPECT_EQ(parser.info().headerLines.size(), 4u);
}

TEST(HttpResponseParserTest, HeaderLinesAndKeptHeadersAreBounded) {
    const std::string longest(HttpResponseParser::BufferSize - 1, 'x');
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\n" + longest + "\n\r\nb").phase, Phase::Body);
    const std::string tooLong(HttpResponseParser::BufferSize, 'x');
    for (std::size_t step : {std::size_t(0), std::size_t(1000), std::size_t(1)}) {
        const Parsed p = parse("HTTP/1.0 200 OK\r\n" + tooLong + "\r\n\r\nb", step);
        EXPECT_EQ(p.phase, Phase::LineTooLong) << step;
        EXPECT_EQ(p.log, "[DHTTP/1.0 200 OK;");
    }
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    const std::string line = "X-Filler: " + std::string(90, 'f') + "\r\n";
    for (int i = 0; i < 20000; ++i) {
        parser.feed(line);
    }
    EXPECT_LE(parser.info().headerBytes, HttpResponseInfo::MaxKeptHeaderBytes);
    EXPECT_GT(parser.info().headerBytes, HttpResponseInfo::MaxKeptHeaderBytes - line.size());
    EXPECT_EQ(parser.phase(), Phase::Header);
}

TEST(HttpResponseParserTest, BodyComesInBufferSizedPiecesAndHaltStopsIt) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    const std::string body(3 * HttpResponseParser::BufferSize + 5, 'b');
    EXPECT_EQ(parser.feed("HTTP/1.0 200 OK\r\n\r\n" + body), 19 + body.size());
    EXPECT_EQ(log.largestPiece, HttpResponseParser::BufferSize);
    EXPECT_EQ(log.text, "[DHTTP/1.0 200 OK;]" + body);

    parser.startRequest();
    log.text.clear();
    log.onData = [&] { parser.halt(); };
    EXPECT_EQ(parser.feed("HTTP/1.0 200 OK\r\nA: 1\r\n\r\nbody"), 29u);
    EXPECT_EQ(log.text, "[DHTTP/1.0 200 OK;");
    EXPECT_EQ(parser.feed("more"), 0u);

    parser.startRequest();
    log.onData = nullptr;
    log.pieces = 0;
    log.onPiece = [&] { parser.halt(); };
    parser.feed("HTTP/1.0 200 OK\r\n\r\n" + body);
    EXPECT_EQ(log.pieces, 1);
}

}  // namespace
}  // namespace quillharbor
