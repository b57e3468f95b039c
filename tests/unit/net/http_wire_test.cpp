#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "net/http_chunked_decoder.h"
#include "net/http_request_header.h"
#include "net/http_response_parser.h"
#include "net/http_retry_after.h"

namespace quillharbor {
namespace {

// "[" at a header's begin, each line and ";", "]" at its end, then the body bytes.
class Transcript : public HttpResponseParser::Handler {
public:
    void onHeaderBegin() override { text += "["; }
    void onHeaderData(const std::string& line) override { text += line + ";"; }
    void onHeaderEnd() override { text += "]"; }
    void onBody(const char* data, std::size_t length) override { text.append(data, length); }
    std::string text;
};

// The phase and what the response said: status, reason, type, length, range, location.
std::string parse(std::string_view response, std::size_t step, std::string* transcript = nullptr) {
    Transcript seen;
    HttpResponseParser parser(seen);
    parser.startRequest();
    for (std::size_t at = 0; at < response.size(); at += step)
        parser.feed(response.substr(at, step));
    if (transcript)
        *transcript = seen.text;
    const HttpResponseInfo& i = parser.info();
    return std::string(HttpResponseParser::toString(parser.phase())) + " " +
           std::to_string(i.statusCode) + " " + i.reasonPhrase + "|" + i.contentType + "|" +
           std::to_string(i.contentLength) + "|" + i.contentRangeBegin + "-" + i.contentRangeEnd +
           "|" + i.acceptRanges + "|" + i.location.value_or("");
}

TEST(HttpResponseParserTest, ResponsesReadTheSameAtEveryPieceSize) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    // A header line of an answer 200 OK, with no body of its own.
    const auto field = [](const std::string& line) {
        return "HTTP/1.0 200 OK\r\n" + line + "\r\n\r\nb";
    };
    const struct {
        std::string response, summary, transcript = "";  // transcript: when checked
    } rows[] = {
        {"HTTP/1.1 206 Partial Content\r\nContent-Type: Text/HTML; charset=ISO-8859-1\r\n"
         "content-length:   2000000000\r\nContent-Range: bytes 3000000000-4999999999/5000000000\r\n"
         "Accept-Ranges: bytes\n\r\n<html>\r\nbody\r\n",
         "Body 206 Partial Content|text/html; charset=iso-8859-1|2000000000|3000000000-4999999999|"
         "bytes|",
         "[HTTP/1.1 206 Partial Content;Content-Type: Text/HTML; "
         "charset=ISO-8859-1;content-length:  "
         " 2000000000;Content-Range: bytes 3000000000-4999999999/5000000000;Accept-Ranges: "
         "bytes;]<html>\r\nbody\r\n"},
        // Without a header every byte is kept.
        {"<HtMl>\r\n<body>x</body>\n</html>", "Body 0 |text/html|-1|-||",
         "[]<HtMl>\r\n<body>x</body>\n</html>"},
        // The rest of a redirect is dropped.
        {"HTTP/1.0 302 Found\r\nLocation:  /next\r\n\r\nmoved page",
         "Redirect 302 Found||-1|-||/next", "[HTTP/1.0 302 Found;Location:  /next;]"},
        // Interim answers are skipped whole; 101 is the answer itself.
        {"HTTP/1.1 100 Continue\r\n\r\n" + ok, "Body 200 OK||2|-||",
         "[HTTP/1.1 200 OK;Content-Length: 2;]ok"},
        {"HTTP/1.1 103 Early Hints\r\nLocation: /x\r\n\r\n" + ok, "Body 200 OK||2|-||"},
        {"HTTP/1.0 100 Continue\r\n\r\nHTTP/1.0 404 No\r\n\r\nx", "Body 404 No||-1|-||",
         "[HTTP/1.0 404 No;]x"},
        {"HTTP/1.1 101 Switching\r\nUpgrade: x\r\n\r\n", "Body 101 Switching||-1|-||"},
        {field("Content-Length: 5000000000"), "Body 200 OK||5000000000|-||"},
        {field("ContentLength: 7"), "Body 200 OK||7|-||"},
        {field("Content-Length: 12abc"), "Body 200 OK||-1|-||"},
        {field("Content-Length: -5"), "Body 200 OK||-1|-||"},
        {field("Content-Length: 99999999999999999999"), "Body 200 OK||-1|-||"},
        {field("Content-Range: bytes 100-199"), "Body 200 OK||-1|100-199||"},
        {field("Content-Range: bytes */1000"), "Body 200 OK||-1|*-||"},
        {field("Content-Range: b"), "Body 200 OK||-1|-||"},
        {field(std::string(HttpResponseParser::BufferSize - 2, 'x')), "Body 200 OK||-1|-||"},
        {field(std::string(HttpResponseParser::BufferSize, 'x')), "LineTooLong 200 OK||-1|-||"},
        {"HTTP/1.1 2x0 OK\r\n\r\n", "BadStatusLine 0 ||-1|-||"},
        {"HTTP/2 200\r\n\r\n", "Body 0 ||-1|-||"},  // other versions are no status line at all
        {"HTTP/1.1 404\r\n\r\n", "Body 404 ||-1|-||"},
    };
    for (const auto& row : rows) {
        // Every piece size of the short answers; the long ones whole and byte by byte.
        const std::size_t size = row.response.size();
        for (std::size_t step = 1; step <= size;
             step = size < 500 || step >= size ? step + 1 : size) {
            std::string transcript;
            ASSERT_EQ(parse(row.response, step, &transcript), row.summary)
                << row.response.substr(0, 50) << step;
            ASSERT_TRUE(row.transcript.empty() || transcript == row.transcript) << transcript;
        }
    }
}

// Feeds the coded body split at `split`, the rest whole or byte by byte.
ChunkedDecoder::Status decode(std::string_view coded, std::size_t split, bool oneByte,
                              std::string& out, std::size_t& taken, std::string& failure) {
    struct : ChunkedDecoder::Sink {
        void onDecoded(const char* data, std::size_t length) override { body.append(data, length); }
        std::string body;
    } sink;
    ChunkedDecoder decoder;
    taken = decoder.feed(coded.substr(0, split), sink);
    for (std::size_t at = split; at < coded.size(); at += oneByte ? 1 : coded.size())
        taken += decoder.feed(coded.substr(at, oneByte ? 1 : coded.size()), sink);
    out = sink.body;
    failure = decoder.failure();
    return decoder.status();
}

TEST(ChunkedDecoderTest, DecodesWhereverSplitAndRefusesMalformedCodings) {
    using S = ChunkedDecoder::Status;
    const std::string longLine(ChunkedDecoder::MaxLineLength, 'x');
    std::string longTrailer = "0\r\n";
    for (int i = 0; i < 5; ++i)
        longTrailer += "X-Pad: " + std::string(ChunkedDecoder::MaxLineLength - 10, 'p') + "\r\n";
    const struct {
        std::string coded;
        S status;
        std::string result;    // the body, or why it failed
        std::size_t rest = 0;  // bytes after the body, not taken
    } rows[] = {
        {"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", S::Done, "hello world"},
        {"a\r\n0123456789\r\nB\r\nabcdefghijk\r\n0\r\n\r\n", S::Done, "0123456789abcdefghijk"},
        {"3;name=\"v;x\"\r\nabc\r\n2 ; q\r\nde\r\n0;last\r\n\r\n", S::Done, "abcde"},
        {"3\r\nabc\r\n0\r\nExpires: never\r\nX-Sum: 1\r\n\r\n", S::Done, "abc"},
        {"3\nabc\n0\n\n", S::Done, "abc"},
        {"0\r\n\r\n", S::Done, ""},
        {"4\r\n\r\n\r\n\r\n0\r\n\r\n", S::Done, "\r\n\r\n"},
        {"2\r\nab\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n", S::Done, "ab", 17},
        {"5\r\nhello\r\n0\r\n", S::Reading, "hello"},
        {"0\r\nX-Sum: 1\r\n", S::Reading, ""},
        {"5\r\nhel", S::Reading, "hel"},
        {"\r\nabc\r\n", S::Failed, "missing chunk size"},
        {";x\r\n", S::Failed, "missing chunk size"},
        {"-1\r\n", S::Failed, "missing chunk size"},
        {"5x\r\n", S::Failed, "bad chunk size"},
        {"1000000000000000\r\n", S::Failed, "chunk size too large"},
        {"5\rhello", S::Failed, "bad line end after chunk size"},
        {"3\r\nabcd\r\n", S::Failed, "missing line end after chunk data"},
        {"3\r\nabc\rx", S::Failed, "missing line end after chunk data"},
        {"3;" + longLine + "\r\n", S::Failed, "chunk size line too long"},
        {"0\r\nx" + longLine + "\r\n", S::Failed, "trailer line too long"},
        {longTrailer, S::Failed, "trailer too long"},
        {"0\r\nX: 1\rx", S::Failed, "bad line end in trailer"},
    };
    for (const auto& row : rows) {
        // Every split of the short codings; the long ones whole.
        for (std::size_t split = 0; split <= row.coded.size();
             split += row.coded.size() < 200 ? 1 : row.coded.size() + 1) {
            for (const bool oneByte : {false, true}) {
                std::string body, failure;
                std::size_t taken = 0;
                ASSERT_EQ(decode(row.coded, split, oneByte, body, taken, failure), row.status)
                    << row.coded.substr(0, 40) << " split " << split << " " << failure;
                ASSERT_EQ(row.status == S::Failed ? failure : body, row.result) << split;
                ASSERT_TRUE(row.status != S::Done || taken + row.rest == row.coded.size()) << split;
            }
        }
    }
}

TEST(HttpRequestHeaderTest, HostileValuesAddNoLine) {
    HttpRequestHeader hostile;
    hostile.requestPath = "/a\r\nX-Injected: 1";
    hostile.host = "h\n";
    hostile.Reference = "http://r/\r\n\r\nGET /evil";
    // The hook sees and may change every line.
    std::string seen;
    EXPECT_EQ(composeHttpRequest(hostile,
                                 [&](std::string& line) {
                                     seen += line + "|";
                                     if (line.starts_with("Referer"))
                                         line.clear();
                                 }),
              "GET /aX-Injected: 1 HTTP/1.0\r\n\r\nHost: h\r\n\r\n");
    EXPECT_EQ(seen, "GET /aX-Injected: 1 HTTP/1.0|Referer: http://r/GET /evil|Host: h||");
}

TEST(HttpRetryAfterTest, ReadsSecondsAndTheThreeDateFormsOfTheLastResponse) {
    using std::chrono::seconds;
    // 1994-11-06 08:49:00 UTC: 37 seconds before the example date of every form.
    const auto now = std::chrono::sys_days(std::chrono::year(1994) / 11 / 6) +
                     std::chrono::hours(8) + std::chrono::minutes(49);
    const struct {
        const char* value;
        std::optional<seconds> wait;
    } rows[] = {
        {"2", seconds(2)},
        {" 120 ", seconds(120)},
        {"99999999999999999999", seconds(1'000'000'000)},  // saturates: still far too long
        {"Sun, 06 Nov 1994 08:49:37 GMT", seconds(37)},
        {"Sunday, 06-Nov-94 08:49:37 GMT", seconds(37)},
        {"Sun Nov  6 08:49:37 1994", seconds(37)},
        {"Sun, 06 Nov 1994 09:49:37 GMT", seconds(3637)},
        {"Sun, 06 Nov 1994 08:00:00 GMT", seconds(0)},  // past: no wait
        {"Thu, 01 Jan 1970 00:00:00 GMT", seconds(0)},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"2.5", std::nullopt},
        {"Sun, 31 Feb 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 CET", std::nullopt},
        {"Sun, 06 Nov 94 08:49:37 GMT", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(retryAfterWait(row.value, now), row.wait) << row.value;
    EXPECT_EQ(lastRetryAfter(
                  {"HTTP/1.1 503 Busy", "Retry-After: 9", "HTTP/1.1 429 Slow", "retry-after :  3"}),
              "3");
    EXPECT_EQ(lastRetryAfter({"HTTP/1.1 302 Found", "Retry-After: 9", "HTTP/1.1 429 Slow"}),
              std::nullopt);
}

}  // namespace
}  // namespace quillharbor
