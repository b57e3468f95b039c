// Interim (1xx) answers before the real one, and redirect bodies read to keep their connection.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback.h"
#include "net/http_cli.h"
#include "net/http_response_parser.h"
#include "platform/loop_fixture.h"

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

const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

TEST(HttpInterimAnswerTest, InterimAnswersAreSkippedAndTheRealOneIsTakenAlone) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string transcript;
        int status;
    };
    const std::string real = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    const std::string realSeen = "[HTTP/1.1 200 OK;Content-Length: 2;]ok";
    const Case cases[] = {
        {"100 Continue", kContinue + real, realSeen, 200},
        {"102 and 103 with fields",
         "HTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n"
         "Location: /elsewhere\r\n\r\n" +
             real,
         realSeen, 200},
        {"an HTTP/1.0 interim answer", "HTTP/1.0 100 Continue\r\n\r\nHTTP/1.0 404 No\r\n\r\nx",
         "[HTTP/1.0 404 No;]x", 404},
        {"101 is the answer itself", "HTTP/1.1 101 Switching\r\nUpgrade: x\r\n\r\n",
         "[HTTP/1.1 101 Switching;Upgrade: x;]", 101},
    };
    for (const Case& c : cases) {
        for (const std::size_t step : {c.bytes.size(), std::size_t(1)}) {
            Transcript seen;
            HttpResponseParser parser(seen);
            parser.startRequest();
            for (std::size_t at = 0; at < c.bytes.size(); at += step) {
                parser.feed(std::string_view(c.bytes).substr(at, step));
            }
            EXPECT_EQ(seen.text, c.transcript) << c.name << ", step " << step;
            EXPECT_EQ(parser.info().statusCode, c.status) << c.name;
            EXPECT_FALSE(parser.info().location) << c.name;
        }
    }
}

TEST(HttpInterimAnswerTest, InterimAnswersWithoutEndAreRefused) {
    std::string bytes;
    for (std::size_t lines = 0; lines < HttpResponseParser::MaxInterimLines; lines += 2) {
        bytes += kContinue;
    }
    Transcript seen;
    HttpResponseParser parser(seen);
    parser.startRequest();
    parser.feed(bytes + "HTTP/1.1 204 None\r\n\r\n");
    EXPECT_EQ(seen.text, "[HTTP/1.1 204 None;]") << "as many as allowed";
    parser.startRequest();
    parser.feed(bytes + kContinue);
    EXPECT_EQ(parser.phase(), HttpResponseParser::Phase::TooManyInterim);
}

// A client with keep-alive on the loop and the test as its server, on real loopback sockets.
class KeptRedirectTest : public LoopTest {
protected:
    KeptRedirectTest() {
        cli.setKeepAlive(true);
        cli.OnSessionConnected = [this](THttpCli&) { ++sessions; };
        cli.OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
            body.append(data, length);
        };
        cli.OnRequestDone = [this](THttpCli&, THttpRequest, int) { done = true; };
    }
    ~KeptRedirectTest() override {
        for (const int fd : peers) {
            ::close(fd);
        }
    }
    void TearDown() override {
        client.reset();
        LoopTest::TearDown();
    }

    static bool hasBytes(int fd) {
        char byte;
        return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 1;
    }
    // The next request head on fd, waiting at most two seconds; empty at the connection's end.
    static std::string readHead(int fd) {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{fd, POLLIN, 0};
            char byte;
            if (::poll(&ready, 1, 2000) != 1 || ::recv(fd, &byte, 1, 0) != 1) {
                return {};
            }
            head += byte;
        }
        return head;
    }
    // Starts a GET of path on a fresh connection and returns the request's head.
    std::string get(const std::string& path) {
        cli.setURL("http://127.0.0.1:" + listener.portText() + path);
        cli.GetASync();
        EXPECT_TRUE(runUntil([this] { return cli.State() == THttpState::httpWaitingHeader; }));
        peers.push_back(listener.accept());
        return readHead(peers.back());
    }
    // The head of the request that follows on the last connection, or else on a fresh one.
    std::string nextHead(bool& sameConnection) {
        const int before = sessions;
        runUntil([&] {
            return hasBytes(peers.back()) ||
                   (sessions > before && cli.State() == THttpState::httpWaitingHeader);
        });
        sameConnection = hasBytes(peers.back());
        if (!sameConnection) {
            peers.push_back(listener.accept());
        }
        return readHead(peers.back());
    }

    test::RawListener listener;
    std::unique_ptr<THttpCli> client = std::make_unique<THttpCli>(loop);
    THttpCli& cli = *client;
    std::vector<int> peers;
    int sessions = 0;
    bool done = false;
    std::string body;
};

TEST_F(KeptRedirectTest, AShortRedirectBodyIsReadSoItsConnectionCarriesTheNextLocation) {
    struct Case {
        const char* name;
        std::string redirect;  // the answer's head after its status line, and its body
        bool kept;
    };
    const std::string longer(THttpCli::MaxKeptBody + 1, 'x');
    const Case cases[] = {
        {"of known length", "Content-Length: 5\r\n\r\nmoved", true},
        {"empty", "Content-Length: 0\r\n\r\n", true},
        {"chunked", "Transfer-Encoding: chunked\r\n\r\n5\r\nmoved\r\n0\r\n\r\n", true},
        {"after interim answers", "Content-Length: 1\r\n\r\nm", true},
        {"longer than kept",
         "Content-Length: " + std::to_string(longer.size()) + "\r\n\r\n" + longer, false},
        {"chunked and longer than kept",
         "Transfer-Encoding: chunked\r\n\r\n10001\r\n" + longer.substr(0, 0x10001) +
             "\r\n0\r\n\r\n",
         false},
        {"of no length", "Connection: keep-alive\r\n\r\nmoved", false},
        {"closing", "Connection: close\r\nContent-Length: 5\r\n\r\nmoved", false},
        {"with bytes past its body", "Content-Length: 4\r\n\r\nmoved", false},
    };
    for (const Case& c : cases) {
        body.clear();
        done = false;
        sessions = 0;
        ASSERT_TRUE(get("/b").starts_with("GET /b HTTP/1.1\r\n")) << c.name;
        const std::string interim = std::string(c.name).starts_with("after") ? kContinue : "";
        test::writeAll(peers.back(),
                       interim + "HTTP/1.1 301 Moved\r\nLocation: /c\r\n" + c.redirect);
        bool sameConnection = false;
        EXPECT_TRUE(nextHead(sameConnection).starts_with("GET /c HTTP/1.1\r\n")) << c.name;
        EXPECT_EQ(sameConnection, c.kept) << c.name;
        // Without a length of its own the answer ends with its connection, whatever the
        // redirect's length said.
        test::writeAll(peers.back(),
                       kContinue + "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nthe whole page");
        ::shutdown(peers.back(), SHUT_WR);
        EXPECT_TRUE(runUntil([this] { return done; })) << c.name;
        EXPECT_EQ(cli.StatusCode(), 200) << c.name;
        EXPECT_EQ(body, "the whole page") << c.name;
    }
}

TEST_F(KeptRedirectTest, EndlessInterimAnswersEndTheRequest) {
    get("/a");
    std::string endless;
    for (int i = 0; i < 100; ++i) {
        endless += kContinue;
    }
    test::writeAll(peers.back(), endless);
    EXPECT_TRUE(runUntil([this] { return done; }));
    EXPECT_EQ(cli.StatusCode(), kHttpClientFailure);
    EXPECT_EQ(cli.ReasonPhrase(), "Too many interim (1xx) answers");
}

}  // namespace
}  // namespace quillharbor
