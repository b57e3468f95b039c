// Wire formats and URLs: HTTP responses, chunked bodies, request heads, Retry-After, URL parts,
// targets and redirects; FTP replies, commands and listings.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "net/ftp_commands.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"
#include "net/http_base64.h"
#include "net/http_chunked_decoder.h"
#include "net/http_doc_name.h"
#include "net/http_redirect.h"
#include "net/http_referer.h"
#include "net/http_request_header.h"
#include "net/http_response_parser.h"
#include "net/http_retry_after.h"
#include "net/http_target.h"
#include "net/http_tunnel.h"
#include "net/http_url_parts.h"

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

TEST(HttpUrlTest, SplitsUrlsProxiesAndOddForms) {
    const struct {
        const char* text;
        const char* parts;  // protocol|user|password|host|port|path
    } cases[] = {
        {"", "|||||"},
        {"http://u:pw@h.org:81/a/b?x=1", "http|u|pw|h.org|81|/a/b?x=1"},
        {"proxy.lan:3128", "|||proxy.lan|3128|"},
        {"a:b@c:d@e", "|a|b@c:d|e||"},  // last "@" and last ":" decide
        {"//h/x", "http|||||/h/x"},
        {"HTTP:ab/c", "http|||||ab/c"},
        {"mailto:a@b.org", "mailto|a||b.org||"},
        {"http://h:81?q=/x", "http|||h|81|/?q=/x"},
        {"http://u@[::1]:81/x", "http|u||[::1]|81|/x"},
    };
    for (const auto& c : cases) {
        const HttpUrlParts p = splitHttpUrl(c.text);
        EXPECT_EQ(p.protocol + "|" + p.user + "|" + p.password + "|" + p.host + "|" + p.port + "|" +
                      p.path,
                  c.parts)
            << c.text;
    }
}

TEST(HttpUrlTest, DocNamesReferersAndBase64) {
    // A query never names the document; a referer loses only the user information.
    const std::pair<std::string, std::string> rows[] = {
        {docNameFromPath("/a?x=/b"), "a"},
        {docNameFromPath("/" + std::string(300, 'n')), std::string(255, 'n')},
        {htmlDocName("setup.EXE", "text/html") + htmlDocName("a.exe.zip", "text/html"),
         "setup.htma.exe.zip"},
        {refererWithoutUserInfo("http://a@b:c@h.org/x"), "http://h.org/x"},
        {refererWithoutUserInfo("http://u:p@h.org?q=a@b"), "http://h.org?q=a@b"},
        {refererWithoutUserInfo("page@x.html") + refererWithoutUserInfo("http://h.org/#a@b"),
         "page@x.htmlhttp://h.org/#a@b"},
        {base64Encode("f") + base64Encode("\xff\xfe\xfd"), "Zg==//79"},
    };
    for (const auto& [got, expected] : rows) EXPECT_EQ(got, expected);
}

TEST(HttpUrlTest, WhatGoesOnTheWireDirectThroughAProxyAndThroughATunnel) {
    // Where it connects, the request path, the host line and what a proxy is asked to tunnel to.
    const std::string_view rows[][3] = {
        {"http://h/index.html#intro", "", "h:80 /index.html h "},
        {"http://h:8080/a b.html", "", "h:8080 /a%20b.html h:8080 "},
        {"http://h:80/a%20b.html?q=x y#f", "", "h:80 /a%20b.html?q=x%20y h "},
        {"http://h/\xc3\xa9.html", "", "h:80 /%C3%A9.html h "},
        {"h.org:81/p", "proxy.lan:3128", "proxy.lan:3128 http://h.org:81/p h.org:81 "},
        {"http://h/a b#y", "proxy", "proxy:8000 http://h/a%20b h "},
        {"https://h:443/x", "", "h:443 /x h "},
        {"HTTPS://h:8443/x", "", "h:8443 /x h:8443 "},
        // Inside a tunnel the request is the server's own.
        {"https://h/a b", "proxy:3128", "proxy:3128 /a%20b h h:443"},
        {"http://[::1]:8080/x", "", "::1:8080 /x [::1]:8080 "},
        {"http://[::1]/x", "[::2]:3128", "::2:3128 http://[::1]/x [::1] "}};
    for (const auto& [url, proxy, wire] : rows) {
        const HttpTarget t = makeHttpTarget(url, proxy, "8000");
        EXPECT_EQ(t.connectHost + ":" + t.connectPort + " " + t.requestPath + " " + t.hostField +
                      " " + t.tunnel,
                  wire);
        EXPECT_EQ(t.secure, url.substr(0, 5) == "https" || url.substr(0, 5) == "HTTPS");
        EXPECT_EQ(t.url.find('#'), std::string::npos) << url;
    }
    const HttpTarget t = makeHttpTarget("http://u:p@h.org", "", "80");
    EXPECT_EQ(t.url + " " + t.user + ":" + t.password, "http://h.org/ u:p");
    EXPECT_EQ(makeHttpTarget("http://h/", "proxy", "").connectPort, "80");
}

TEST(HttpUrlTest, TunnelRequestsCarryTheProxyCredentialsOnOneLine) {
    EXPECT_EQ(composeConnectRequest("h:443", "u", "p\r\nX: 1"),
              "CONNECT h:443 HTTP/1.0\r\nHost: h:443\r\n"
              "Proxy-Authorization: Basic dTpwWDogMQ==\r\n\r\n");
    EXPECT_EQ(composeConnectRequest("h:443", "", ""),
              "CONNECT h:443 HTTP/1.0\r\nHost: h:443\r\n\r\n");
}

TEST(HttpUrlTest, RedirectsResolveAgainstTheCurrentUrl) {
    const std::string base = "http://h:81/a/b/c.html?q";
    const struct {
        std::string_view from;
        std::string_view location;
        std::string_view resolved;  // empty: not followed
        bool followHttps = false;
    } cases[] = {
        {base, "http://o/z", "http://o/z"},
        {base, "HTTP://O:82", "http://O:82/"},
        {base, "//cdn/x", "http://cdn/x"},
        {base, "/x/../y", "http://h:81/y"},
        {base, "./", "http://h:81/a/b/"},
        {base, "../../../../d", "http://h:81/d"},
        {base, "?r", "http://h:81/a/b/c.html?r"},
        {base, " x#frag ", "http://h:81/a/b/x"},
        {base, "d?u=/../v", "http://h:81/a/b/d?u=/../v"},
        {"http://[::1]:82/a/b", "c", "http://[::1]:82/a/c"},
        {base, "https://h/", ""},
        {base, "ftp://h/", ""},
        {base, "mailto:x@y", ""},
        {base, "", ""},
        {base, "#top", ""},
        {base, "http:f", ""},
        {base, "http://[::1]x:1/", ""},
        {base, "HTTPS://h/x", "https://h/x", true},
        {base, "ftp://h/x", "", true},
        // A relative location stays on the scheme it came from.
        {"https://h/a/b", "c", "https://h/a/c"},
        {"https://h/a/b", "//o/c", "https://o/c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolveHttpRedirect(c.from, c.location, c.followHttps).value_or(""), c.resolved)
            << c.location;
    }
}

std::string show(std::int64_t value) {
    return std::to_string(value);
}
std::string show(const std::string& value) {
    return value;
}
template <class Value>
std::string show(const std::optional<Value>& value) {
    return value ? show(*value) : "-";
}
// What `parse` makes of each line, each followed by a blank.
template <class Parse>
std::string each(Parse parse, std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) out += show(parse(line)) + " ";
    return out;
}

TEST(FtpWire, RepliesAndCommands) {
    const std::pair<std::string, std::string> rows[] = {
        {each(replyCode, {"226 Transfer complete", "220", " 220", "", "99999999999999999999 x"}),
         "226 220 -1 -1 2147483647 "},
        {each(opensMultiLineReply, {"220-hi", "220 hi", "-220"}), "1 0 0 "},
        // The size is the second number and holds 64 bits.
        {each(sizeFromReply,
              {"213 3221225472", "213 size is 77 bytes", "213", "213 99999999999999999999"}),
         "3221225472 77 - - "},
        {each(directoryFromReply, {"257 \"/pub/a\"\"b\" is current", "250 \"\" empty",
                                   "250 CWD command successful", "257 \"/unterminated"}),
         "/pub/a\"b  - - "},
        // The 227 numbers must be bytes; 229 needs its whole form.
        {each(passivePortFromReply,
              {"227 Entering Passive Mode (127,0,0,1,195,80).",
               "227 Entering Passive Mode 10,1,2,3,4,1", "227 (127, 0, 0, 1, 0, 21)",
               "227 (127,0,0,1,256,1)", "227 (127,0,0,1,0,0)", "227"}),
         "50000 1025 21 - - - "},
        {each(extendedPassivePortFromReply,
              {"229 Entering Extended Passive Mode (|||6446|)", "229 (!!!65535!)", "229 (|||0|)",
               "229 (|||65536|)", "229 (|||6446)", "229 (||6446|)", "229 (1116446|)", "229 (|||",
               "229"}),
         "6446 65535 - - - - - - - "},
        {portCommand(0x7F000001, 50000), "PORT 127,0,0,1,195,80"},
        {extendedPortCommand("::1", 50000), "EPRT |2|::1|50000|"},
        {restartCommand(2147483748LL), "REST 2147483748"},
        {controlFailureReply(11001), "500 Host not found (Winsock error #11001)"},
        {transferStatistics(1000, 0), "! 1000 bytes received/sent in 0 seconds"},
        {transferStatistics(1000, 3), "! 1000 bytes received/sent in 0 seconds (333333 Bytes/sec)"},
        // From 32768 bytes on the rate is divided first.
        {transferStatistics(40000, 3000),
         "! 40000 bytes received/sent in 3 seconds (13000 Bytes/sec)"},
    };
    for (const auto& [got, expected] : rows) EXPECT_EQ(got, expected);
}

TEST(FtpListingTest, EntriesAreSafeNamesOfFilesOrDirectories) {
    using Entries = std::vector<FtpListingEntry>;
    // MLSD tells files from directories and leaves the rest out.
    EXPECT_EQ(ParseMlsdListing(
                  "type=cdir;perm=el; /pub\r\ntype=pdir;perm=el; /\r\n"
                  "type=file;size=5;modify=20260101000000; with space.txt\r\n"
                  "Type=DIR;perm=el; sub dir\r\ntype=OS.unix=slink:/etc; link\r\nsize=3; untyped\n"
                  "type=file; semi;colon; x\r\ntype=file;  leading blank\r\nno-blank-no-name\r\n"
                  "type=file; \r\ntype=dir; ..\r\ntype=file; a/b\r\ntype=file; cr\rinside\r\n"
                  "type=file; last-without-line-end"),
              (Entries{{"with space.txt", false},
                       {"sub dir", true},
                       {"untyped", false},
                       {"semi;colon; x", false},
                       {" leading blank", false},
                       {"last-without-line-end", false}}));
    // NLST names are files until fetched.
    EXPECT_EQ(
        ParseNlstListing(std::string("a.txt\r\nsub\n.\r\n..\r\n\r\nx/y\r\nn\0ul\r\nb c\r\n", 36)),
        (Entries{{"a.txt", false}, {"sub", false}, {"b c", false}}));
    EXPECT_TRUE(ParseNlstListing("").empty());
}

}  // namespace
}  // namespace quillharbor
