#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "net/http_cli.h"
#include "net/http_exception.h"
#include "net/tls_failure.h"
#include "platform/loop_fixture.h"

namespace quillharbor {
namespace {

// A scripted connection: records what the client asks of it, and the test plays the network.
class FakeTransport : public HttpTransport {
public:
    void setEvents(Events& events) override { this->events = &events; }
    void lookup(const std::string& host) override { calls.push_back("lookup " + host); }
    void cancelLookup() override { calls.push_back("cancel"); }
    void plan(const HttpSessionPlan& plan) override {
        if (plan.tls) {
            calls.push_back("tls " + plan.serverName + (plan.verify ? " verified" : "") +
                            (plan.tunnelRequest.empty() ? "" : " tunnelled"));
        }
    }
    void connect(const std::string& address, const std::string& port) override {
        calls.push_back("connect " + address + ":" + port);
        isOpen = true;
        incoming.clear();
    }
    void send(const std::string& bytes) override { sent.push_back(bytes); }
    std::size_t receive(char* buffer, std::size_t size) override {
        const std::size_t count = incoming.copy(buffer, size);
        incoming.erase(0, count);
        return count;
    }
    void close() override {
        calls.push_back("close");
        if (isOpen) {
            isOpen = false;
            events->onClosed(0);
        }
    }
    bool open() const override { return isOpen; }
    TWSocket* socket() override { return nullptr; }

    // The server's bytes arrive and are read the way the socket's receive loop reads them.
    void arrive(const std::string& bytes) {
        incoming += bytes;
        while (!incoming.empty() && isOpen) {
            const std::size_t before = incoming.size();
            events->onDataAvailable();
            if (incoming.size() == before) {
                break;
            }
        }
    }
    void peerCloses() {
        if (isOpen) {
            isOpen = false;
            events->onClosed(0);
        }
    }

    Events* events = nullptr;
    std::vector<std::string> calls;
    std::vector<std::string> sent;
    std::string incoming;
    bool isOpen = false;
};

class HttpCliTest : public LoopTest {
protected:
    HttpCliTest() {
        auto owned = std::make_unique<FakeTransport>();
        net = owned.get();
        cli = std::make_unique<THttpCli>(loop, std::move(owned));
        const auto note = [this](const char* what) {
            return [this, what](THttpCli&) { log += what; };
        };
        cli->OnSessionConnected = note("C");
        cli->OnHeaderBegin = note("[");
        cli->OnHeaderData = note("d");
        cli->OnHeaderEnd = note("]");
        cli->OnDocBegin = note("<");
        cli->OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
            body.append(data, length);
            log += "b";
        };
        cli->OnDocEnd = note(">");
        cli->OnLocationChange = [this](THttpCli& c) { log += "L(" + c.Location() + ")"; };
        cli->OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
            log += "D";
            doneErrors.push_back(error);
        };
    }
    void TearDown() override {
        cli.reset();
        LoopTest::TearDown();
    }

    // Runs the loop until nothing is left to do.
    void settle() {
        for (int i = 0; i < 100 && loop.processPending(); ++i) {
        }
    }
    // Starts a GET and lets the look-up and the connect succeed.
    void startConnected(const std::string& url) {
        cli->setURL(url);
        cli->GetASync();
        net->events->onLookupDone(0, "127.0.0.1");
        net->events->onConnected(0);
    }

    FakeTransport* net = nullptr;
    std::unique_ptr<THttpCli> cli;
    std::string log;
    std::string body;
    std::vector<int> doneErrors;
};

TEST_F(HttpCliTest, DocumentFromStartToEnd) {
    std::vector<THttpState> states;
    cli->OnStateChange = [&](THttpCli& c) { states.push_back(c.State()); };
    cli->setContentRangeBegin("3000000000");
    cli->setURL("http://h.org:8080/dir/setup.exe?x=1");
    cli->GetASync();
    EXPECT_EQ(cli->ContentRangeBegin(), "");
    EXPECT_EQ(net->calls, std::vector<std::string>{"lookup h.org"});
    net->events->onLookupDone(0, "127.0.0.1");
    EXPECT_EQ(net->calls.back(), "connect 127.0.0.1:8080");
    net->events->onConnected(0);
    ASSERT_EQ(net->sent.size(), 1u);
    EXPECT_EQ(net->sent[0],
              "GET /dir/setup.exe?x=1 HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Host: h.org:8080\r\n"
              "Range: bytes=3000000000-\r\n\r\n");
    net->arrive(
        "HTTP/1.1 206 Partial\r\nContent-Type: TEXT/HTML\r\nContent-Length: 5000000000\r\n"
        "Content-Range: bytes 3000000000-7999999999/8000000000\r\nAccept-Ranges: bytes\r\n\r\n"
        "abc");
    net->arrive("def");
    net->peerCloses();
    EXPECT_EQ(log, "C[ddddd]<bb>");
    EXPECT_EQ(cli->State(), THttpState::httpWaitingBody);  // ready only from the loop
    settle();
    EXPECT_EQ(log, "C[ddddd]<bb>D");
    EXPECT_EQ(doneErrors, std::vector<int>{0});
    EXPECT_EQ(body, "abcdef");
    EXPECT_EQ(cli->StatusCode(), 206);
    EXPECT_EQ(cli->ContentLength(), 5000000000);
    EXPECT_EQ(cli->ContentType(), "text/html");
    EXPECT_EQ(cli->ContentRangeBegin(), "3000000000");
    EXPECT_EQ(cli->ContentRangeEnd(), "7999999999");
    EXPECT_EQ(cli->AcceptRanges(), "bytes");
    EXPECT_EQ(cli->RcvdCount(), 6);
    EXPECT_EQ(cli->DocName(), "setup.htm");
    EXPECT_EQ(cli->Location(), "http://h.org:8080/dir/setup.exe?x=1");
    EXPECT_EQ(states,
              (std::vector<THttpState>{THttpState::httpNotConnected, THttpState::httpDnsLookup,
                                       THttpState::httpDnsLookupDone, THttpState::httpConnected,
                                       THttpState::httpWaitingHeader, THttpState::httpWaitingBody,
                                       THttpState::httpReady}));
}

TEST_F(HttpCliTest, BusyWhileARequestRuns) {
    cli->setURL("http://h/");
    cli->GetASync();
    try {
        cli->GetASync();
        FAIL() << "a second start was accepted";
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.code(), 1);
        EXPECT_STREQ(e.what(), "HTTP component is busy");
    }
    EXPECT_EQ(net->calls.size(), 1u);
    cli->Abort();
    settle();
}

TEST_F(HttpCliTest, RedirectsAcrossHostsRepeatTheRangeButNotTheCredentials) {
    cli->setUsername("u");
    cli->setPassword("p");
    cli->setContentRangeBegin("100");
    cli->setReference("http://u:p@a.org/from.html");
    startConnected("http://a.org/old.htm");
    EXPECT_NE(net->sent[0].find("Authorization: Basic dTpw\r\n"), std::string::npos);
    EXPECT_NE(net->sent[0].find("Referer: http://a.org/from.html\r\n"), std::string::npos);
    // A range on the redirect says nothing of the body that follows it.
    net->arrive(
        "HTTP/1.0 302 Found\r\nLocation: http://b.org:81/new.htm\r\n"
        "Content-Range: bytes 100-199/200\r\n\r\nmoved");
    EXPECT_EQ(log, "C[ddd]L(http://b.org:81/new.htm)");
    EXPECT_EQ(net->calls.back(), "close");
    settle();  // the next location is looked up from the loop
    EXPECT_EQ(net->calls.back(), "lookup b.org");
    net->events->onLookupDone(0, "127.0.0.1");
    EXPECT_EQ(net->calls.back(), "connect 127.0.0.1:81");
    net->events->onConnected(0);
    EXPECT_EQ(net->sent[1],
              "GET /new.htm HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "Referer: http://a.org/from.html\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Host: b.org:81\r\n"
              "Range: bytes=100-\r\n\r\n");
    net->arrive("HTTP/1.0 200 OK\r\n\r\nnew");
    net->peerCloses();
    settle();
    EXPECT_EQ(log, "C[ddd]L(http://b.org:81/new.htm)C[d]<b>D");
    EXPECT_EQ(body, "new");
    EXPECT_EQ(cli->ContentRangeBegin(), "") << "the whole document came";
    EXPECT_EQ(cli->Location(), "http://b.org:81/new.htm");
    EXPECT_EQ(cli->RcvdHeader().size(), 4u);
    EXPECT_EQ(cli->DocName(), "old.htm");
}

TEST_F(HttpCliTest, HttpsGoesOverTlsAndItsCredentialsNeverLeaveIt) {
    cli->setUsername("u");
    cli->setPassword("p");
    cli->setFollowHttps(true);
    startConnected("https://a.org/x");
    EXPECT_EQ(net->calls[1], "tls a.org verified");
    EXPECT_EQ(net->calls[2], "connect 127.0.0.1:443");
    EXPECT_NE(net->sent[0].find("Authorization: Basic dTpw\r\n"), std::string::npos);
    net->arrive("HTTP/1.0 302 Found\r\nLocation: http://a.org/y\r\n\r\n");
    settle();
    net->events->onLookupDone(0, "127.0.0.1");
    EXPECT_EQ(net->calls.back(), "connect 127.0.0.1:80") << "no TLS asked for";
    net->events->onConnected(0);
    EXPECT_EQ(net->sent[1].find("Authorization"), std::string::npos);

    // A certificate refused ends the request with its reason.
    cli->Abort();
    settle();
    cli->setVerifyCertificates(false);
    cli->setProxy("proxy:3128");
    cli->setURL("https://b.org/");
    cli->GetASync();
    net->events->onLookupDone(0, "127.0.0.1");
    EXPECT_EQ(net->calls[net->calls.size() - 2], "tls b.org tunnelled");
    net->events->onConnected(kTlsWrongHostName);
    settle();
    EXPECT_EQ(cli->StatusCode(), kTlsWrongHostName);
    EXPECT_EQ(cli->ReasonPhrase(), "certificate for another host name");
}

TEST_F(HttpCliTest, ErrorStatusClosesAtOnceButHandlesWhatCameWithIt) {
    startConnected("http://h/missing.gif");
    net->arrive("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<p>gone</p>");
    EXPECT_EQ(net->calls.back(), "close");
    EXPECT_EQ(log, "C[dd]<b");
    settle();
    EXPECT_EQ(log, "C[dd]<bD");
    EXPECT_EQ(doneErrors, std::vector<int>{0});
    EXPECT_EQ(cli->StatusCode(), 404);
    EXPECT_EQ(cli->ReasonPhrase(), "Not Found");
    EXPECT_EQ(body, "<p>gone</p>");
}

TEST_F(HttpCliTest, FailuresOfLookupConnectAndHeader) {
    cli->setURL("http://nowhere.invalid/");
    cli->GetASync();
    net->events->onLookupDone(11001, "");
    settle();
    EXPECT_EQ(cli->StatusCode(), 801);
    EXPECT_EQ(cli->ReasonPhrase(), "can't resolve hostname to IP address");
    EXPECT_EQ(doneErrors, std::vector<int>{11001});

    cli->GetASync();
    net->events->onLookupDone(0, "127.0.0.1");
    net->events->onConnected(10061);
    net->events->onClosed(10061);  // the socket closes after a failed connect
    settle();
    EXPECT_EQ(cli->StatusCode(), 10061);
    EXPECT_EQ(cli->ReasonPhrase(), "Connection refused (Error #10061)");
    EXPECT_EQ(doneErrors, (std::vector<int>{11001, 10061}));

    startConnected("http://h/");
    net->arrive("HTTP/1.0 2OO OK\r\n\r\nbody");
    settle();
    EXPECT_EQ(cli->StatusCode(), 800);
    EXPECT_FALSE(net->isOpen);
    EXPECT_EQ(log, "DDC[D");
    EXPECT_EQ(doneErrors, (std::vector<int>{11001, 10061, 0}));
}

TEST_F(HttpCliTest, AbortDuringLookupReportsOnceAndIgnoresTheLateAnswer) {
    cli->setURL("http://h/");
    cli->GetASync();
    cli->Abort();
    EXPECT_EQ(net->calls.back(), "cancel");
    EXPECT_EQ(cli->State(), THttpState::httpReady);
    EXPECT_EQ(log, "");  // never inside the call
    net->events->onLookupDone(0, "127.0.0.1");
    settle();
    EXPECT_EQ(log, "D");
    EXPECT_EQ(doneErrors, std::vector<int>{3});
    EXPECT_EQ(cli->StatusCode(), 801);
    EXPECT_EQ(cli->ReasonPhrase(), "Connection aborted on request");
}

TEST_F(HttpCliTest, AbortFromInsideTheBodyStopsItThere) {
    cli->OnDocData = [this](THttpCli& c, const char*, std::size_t) {
        log += "b";
        c.Abort();
    };
    startConnected("http://h/");
    net->arrive("HTTP/1.0 200 OK\r\n\r\n" + std::string(3 * HttpResponseParser::BufferSize, 'x'));
    settle();
    EXPECT_EQ(log, "C[d]<b>D");
    EXPECT_EQ(doneErrors, std::vector<int>{3});
    // The first read held the status line too.
    EXPECT_EQ(cli->RcvdCount(), static_cast<std::int64_t>(HttpResponseParser::BufferSize - 19));
}

TEST_F(HttpCliTest, ARestartRightAfterAbortIsNotEndedByTheOldRequest) {
    startConnected("http://h/a");
    net->arrive("HTTP/1.0 200 OK\r\n\r\nxx");
    cli->Abort();
    cli->GetASync();  // before the loop delivered anything of the aborted request
    settle();
    EXPECT_EQ(log, "C[d]<b>D");
    EXPECT_EQ(cli->State(), THttpState::httpDnsLookup);
    net->events->onLookupDone(0, "127.0.0.1");
    net->events->onConnected(0);
    net->arrive("HTTP/1.0 200 OK\r\n\r\nyy");
    net->peerCloses();
    settle();
    EXPECT_EQ(log, "C[d]<b>DC[d]<b>D");
    EXPECT_EQ(doneErrors, (std::vector<int>{3, 0}));
}

// ---- keep-alive ----

class KeepAliveTest : public HttpCliTest {
protected:
    KeepAliveTest() { cli->setKeepAlive(true); }
    // A whole request over a new connection, answered with response.
    void fetchFresh(const std::string& url, const std::string& response) {
        startConnected(url);
        net->arrive(response);
        settle();
    }
    void fetchKept(const std::string& url, const std::string& response) {
        cli->setURL(url);
        cli->GetASync();
        net->arrive(response);
        settle();
    }
};

TEST_F(KeepAliveTest, FramedBodiesEndWithoutACloseAndTheConnectionServesTheNextRequest) {
    struct Case {
        const char* name;
        std::string response;
        std::string body;
    };
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", "hello"},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhel\r\n2;x\r\nlo\r\n0\r\n\r\n",
         "hello"},
        {"HTTP/1.0 answer that keeps",
         "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nhi", "hi"},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", ""},
        {"short error page", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", "gone"},
    };
    for (const Case& c : cases) {
        log.clear();
        body.clear();
        net->calls.clear();
        net->sent.clear();
        fetchFresh("http://h.org/a", c.response);
        EXPECT_EQ(body, c.body) << c.name;
        EXPECT_TRUE(net->isOpen) << c.name;
        EXPECT_EQ(cli->State(), THttpState::httpReady) << c.name;
        fetchKept("http://h.org/b", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb");
        EXPECT_EQ(net->calls, (std::vector<std::string>{"lookup h.org", "connect 127.0.0.1:80"}))
            << c.name << ": the second request went over the kept connection";
        ASSERT_EQ(net->sent.size(), 2u);
        EXPECT_TRUE(net->sent[1].starts_with("GET /b HTTP/1.1\r\n")) << net->sent[1];
        EXPECT_EQ(doneErrors.back(), 0);
        net->close();
    }
    EXPECT_EQ(net->sent[0],
              "GET /a HTTP/1.1\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Host: h.org\r\n"
              "Connection: keep-alive\r\n\r\n");
}

TEST_F(KeepAliveTest, AConnectionThatCannotGoOnIsClosed) {
    struct Case {
        const char* name;
        std::string response;
    };
    const Case cases[] = {
        {"close asked", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx"},
        {"HTTP/1.0 answer", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx"},
        {"bytes past the body", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nxy"},
        {"long error page", "HTTP/1.1 404 Not Found\r\nContent-Length: 65537\r\n\r\nx"},
        {"error page of no length", "HTTP/1.1 500 Oops\r\n\r\nx"},
    };
    for (const Case& c : cases) {
        net->calls.clear();
        fetchFresh("http://h.org/a", c.response);
        fetchKept("http://h.org/b", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb");
        EXPECT_EQ(std::count(net->calls.begin(), net->calls.end(), "connect 127.0.0.1:80"), 1)
            << c.name << ": the second request waits for its own connection";
        cli->Abort();
        settle();
    }
}

TEST_F(KeepAliveTest, AKeptConnectionServesOnlyTheSameServerPortAndScheme) {
    for (const char* next : {"http://other.org/", "http://h.org:81/", "https://h.org/"}) {
        net->calls.clear();
        fetchFresh("http://h.org/a", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        cli->setURL(next);
        cli->GetASync();
        EXPECT_EQ(net->calls[2], "close") << next;
        EXPECT_TRUE(net->calls[3].starts_with("lookup")) << next;
        cli->Abort();
        settle();
    }
}

TEST_F(KeepAliveTest, AConnectionTheServerClosedIsRetriedOnceOnAFreshOne) {
    fetchFresh("http://h.org/a", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na");
    cli->setURL("http://h.org/b");
    cli->GetASync();
    net->peerCloses();  // the server had given up on the connection meanwhile
    settle();
    EXPECT_EQ(net->calls.back(), "lookup h.org");
    net->events->onLookupDone(0, "127.0.0.1");
    net->events->onConnected(0);
    net->peerCloses();  // and closes the fresh one too: that is a failure now
    settle();
    EXPECT_EQ(net->sent.size(), 3u);
    EXPECT_EQ(net->sent[1], net->sent[2]);
    EXPECT_EQ(doneErrors, (std::vector<int>{0, 0}));
    EXPECT_EQ(log.substr(log.size() - 2), "CD") << log;
    EXPECT_EQ(cli->StatusCode(), 0);
}

TEST_F(KeepAliveTest, ACutOrMalformedChunkedBodyIsNoWholeDocument) {
    const std::string header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    startConnected("http://h.org/a");
    net->arrive(header + "5\r\nhello\r\n");
    net->peerCloses();
    settle();
    EXPECT_TRUE(cli->BodyCut());
    EXPECT_EQ(body, "hello");

    startConnected("http://h.org/b");
    EXPECT_FALSE(cli->BodyCut());
    net->arrive(header + "5\r\nhello\r\nzz\r\n");
    settle();
    EXPECT_EQ(cli->StatusCode(), kHttpClientFailure);
    EXPECT_EQ(cli->ReasonPhrase(), "Bad chunked body: missing chunk size");
    EXPECT_FALSE(net->isOpen);
}

TEST_F(HttpCliTest, WithoutKeepAliveAChunkedAnswerIsTakenAsItComes) {
    startConnected("http://h.org/a");
    const std::string coded = "2\r\nab\r\n0\r\n\r\n";
    net->arrive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + coded);
    net->peerCloses();
    settle();
    EXPECT_EQ(body, coded);
    EXPECT_FALSE(cli->BodyCut());
}

}  // namespace
}  // namespace quillharbor
