#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/http_cli.h"
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
        if (plan.tls)
            calls.push_back("tls " + plan.serverName + (plan.verify ? " verified" : "") +
                            (plan.tunnelRequest.empty() ? "" : " tunnelled"));
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
        peerCloses();
    }
    bool open() const override { return isOpen; }
    TWSocket* socket() override { return nullptr; }

    // The server's bytes arrive and are read the way the socket's receive loop reads them.
    void arrive(const std::string& bytes) {
        incoming += bytes;
        for (std::size_t before = 0; !incoming.empty() && isOpen && incoming.size() != before;) {
            before = incoming.size();
            events->onDataAvailable();
        }
    }
    void peerCloses() {
        if (std::exchange(isOpen, false))
            events->onClosed(0);
    }

    Events* events = nullptr;
    std::vector<std::string> calls, sent;
    std::string incoming;
    bool isOpen = false;
};

const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

class HttpCliTest : public LoopTest {
protected:
    HttpCliTest() { fresh(); }
    void TearDown() override {
        cli.reset();
        LoopTest::TearDown();
    }

    void fresh() {
        auto owned = std::make_unique<FakeTransport>();
        net = owned.get();
        cli = std::make_unique<THttpCli>(loop, std::move(owned));
        log.clear();
        body.clear();
        doneErrors.clear();
        const auto note = [this](const char* what) {
            return [this, what](THttpCli&) { log += what; };
        };
        cli->OnSessionConnected = note("C");
        cli->OnHeaderBegin = note("[");
        cli->OnHeaderData = note("d");
        cli->OnHeaderEnd = note("]");
        cli->OnDocBegin = note("<");
        cli->OnDocData = [this](THttpCli& c, const char* data, std::size_t length) {
            body.append(data, length);
            log += "b";
            if (abortInBody)
                c.Abort();
        };
        cli->OnDocEnd = note(">");
        cli->OnLocationChange = [this](THttpCli& c) { log += "L(" + c.Location() + ")"; };
        cli->OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
            log += "D";
            doneErrors += (doneErrors.empty() ? "" : " ") + std::to_string(error);
        };
    }
    // Runs the loop until nothing is left to do.
    void settle() {
        for (int i = 0; i < 100 && loop.processPending(); ++i) {
        }
    }
    // Plays the network, steps parted by "|": "G[url]" starts a GET, "L[error]" answers the
    // look-up, "C[error]" the connect, "X<error>" closes, ">bytes" arrive, "E" the peer closes,
    // "A" aborts, "B" aborts from the next body piece, "S" settles the loop.
    void play(const std::string& script) {
        for (std::size_t at = 0, end; at < script.size(); at = end + 1) {
            end = std::min(script.find('|', at), script.size());
            const std::string step = script.substr(at, end - at);
            const int error = std::atoi(step.c_str() + 1);
            if (step[0] == 'G' && step.size() > 1)
                cli->setURL(step.substr(1));
            step[0] == 'G'   ? cli->GetASync()
            : step[0] == 'L' ? net->events->onLookupDone(error, error ? "" : "127.0.0.1")
            : step[0] == 'C' ? net->events->onConnected(error)
            : step[0] == 'X' ? net->events->onClosed(error)
            : step[0] == '>' ? net->arrive(step.substr(1))
            : step[0] == 'E' ? net->peerCloses()
            : step[0] == 'A' ? cli->Abort()
            : step[0] == 'B' ? void(abortInBody = true)
                             : settle();
        }
    }
    // The request's end: status, reason, the body (or its size when long) and the errors reported.
    std::string outcome() const {
        return std::to_string(cli->StatusCode()) + " " + cli->ReasonPhrase() + " [" +
               (body.size() < 80 ? body : std::to_string(body.size())) + "] done " + doneErrors +
               ", lookups " +
               std::to_string(std::count_if(net->calls.begin(), net->calls.end(),
                                            [](auto& c) { return c.starts_with("lookup"); })) +
               ", sent " + std::to_string(net->sent.size()) + (cli->BodyCut() ? ", cut" : "");
    }

    FakeTransport* net = nullptr;
    std::unique_ptr<THttpCli> cli;
    std::string log, body, doneErrors;
    bool abortInBody = false;
};

TEST_F(HttpCliTest, RequestsEndWithTheirStatus) {
    const std::string chunked = ">HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string ok1 = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n";
    std::string endless;
    for (int i = 0; i < 100; ++i) endless += kContinue;
    // With keep-alive: the first answer, then a second request on the connection if it is kept.
    const auto twice = [&](const std::string& first, const std::string& next = "http://h.org/b") {
        return "Ghttp://h.org/a|L|C|>" + first + "|S|G" + next + "|>" + ok1 + "b|S|A|S";
    };
    const std::string aborted = "801 Connection aborted on request [x] done 0 3, lookups 2, sent 1";
    const std::string kept = " done 0 0, lookups 1, sent 2";
    // A redirect with keep-alive: its body is read to its end when short, so that the next
    // location goes on its connection; the final answer, of no length, ends with its connection.
    const auto redirect = [&](const std::string& head, bool kept) {
        return "Ghttp://h.org/b|L|C|>" + kContinue + "HTTP/1.1 301 Moved\r\nLocation: /c\r\n" +
               head + (kept ? "|S|" : "|S|L|C|") +
               ">HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nwhole|E|S";
    };
    const std::string longer(THttpCli::MaxKeptBody + 1, 'x');
    const std::string whole = "200 OK [whole] done 0, lookups ";
    struct Row {
        const char* name;
        bool keepAlive;
        std::string script, log, outcome;  // log: empty when not checked
    };
    const Row rows[] = {
        {"an error status closes at once", false,
         "Ghttp://h/missing.gif|L|C|>HTTP/1.0 404 Not Found\r\nA: b\r\n\r\n<p>gone</p>|S",
         "C[dd]<bD", "404 Not Found [<p>gone</p>] done 0, lookups 1, sent 1"},
        {"a failed look-up", false, "Ghttp://nowhere.invalid/|L11001|S", "D",
         "801 can't resolve hostname to IP address [] done 11001, lookups 1, sent 0"},
        {"a refused connect", false, "Ghttp://h/|L|C10061|X10061|S", "D",
         "10061 Connection refused (Error #10061) [] done 10061, lookups 1, sent 0"},
        {"a malformed status line", false, "Ghttp://h/|L|C|>HTTP/1.0 2OO OK\r\n\r\nbody|S", "C[D",
         "800 Invalid status line [] done 0, lookups 1, sent 1"},
        {"endless interim answers", false, "Ghttp://h/|L|C|>" + endless + "|S", "CD",
         "800 Too many interim (1xx) answers [] done 0, lookups 1, sent 1"},
        {"an abort during the look-up ignores the late answer", false, "Ghttp://h/|A|L|S", "D",
         "801 Connection aborted on request [] done 3, lookups 1, sent 0"},
        {"an abort from inside the body stops it there", false,
         "Ghttp://h/|L|C|B|>HTTP/1.0 200 OK\r\n\r\n" + std::string(3 * 8192, 'x') + "|S",
         "C[d]<b>D", "801 Connection aborted on request [8173] done 3, lookups 1, sent 1"},
        {"a restart right after an abort is not ended by the old request", false,
         "Ghttp://h/a|L|C|>HTTP/1.0 200 OK\r\n\r\nxx|A|G|S|L|C|>HTTP/1.0 200 OK\r\n\r\nyy|E|S",
         "C[d]<b>DC[d]<b>D", "200 OK [xxyy] done 3 0, lookups 2, sent 2"},
        {"without keep-alive a chunked answer is taken as it comes", false,
         "Ghttp://h/|L|C|" + chunked + "2\r\nab\r\n0\r\n\r\n|E|S", "",
         "200 OK [2\r\nab\r\n0\r\n\r\n] done 0, lookups 1, sent 1"},
        {"kept after chunks", true, twice(chunked.substr(1) + "3\r\nhel\r\n2;x\r\nlo\r\n0\r\n\r\n"),
         "", "200 OK [hellob]" + kept},
        {"kept after an HTTP/1.0 answer that keeps", true,
         twice("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nhi"), "",
         "200 OK [hib]" + kept},
        {"kept after no content", true, twice("HTTP/1.1 204 No Content\r\n\r\n"), "",
         "200 OK [b]" + kept},
        {"kept after a short error page", true,
         twice("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"), "C[dd]<b>D[dd]<b>D",
         "200 OK [goneb]" + kept},
        {"closed when asked", true,
         twice("HTTP/1.1 200 OK\r\nConnection: close\r\n" + ok1.substr(17) + "x"), "", aborted},
        {"closed after an HTTP/1.0 answer", true,
         twice("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx"), "", aborted},
        {"closed after bytes past the body", true,
         "Ghttp://h.org/a|L|C|>" + ok1 + "x|>y|S|Ghttp://h.org/b|>" + ok1 + "b|S|A|S", "", aborted},
        {"closed after bytes past the body in the same read", true, twice(ok1 + "xy"), "", aborted},
        {"closed after a long error page", true,
         twice("HTTP/1.1 404 Not Found\r\nContent-Length: 65537\r\n\r\nx"), "", aborted},
        {"not for another server", true, twice(ok1 + "x", "http://other.org/"), "", aborted},
        {"not for another scheme", true, twice(ok1 + "x", "https://h.org/"), "", aborted},
        // The server had given up on the kept connection, then closes the fresh one too.
        {"a kept connection closed is retried once on a fresh one", true,
         "Ghttp://h.org/a|L|C|>" + ok1 + "a|S|Ghttp://h.org/b|E|S|L|C|E|S", "C[dd]<b>DCD",
         "0  [a] done 0 0, lookups 2, sent 3"},
        {"a redirect's empty body keeps its connection", true,
         redirect("Content-Length: 0\r\n\r\n", true), "", whole + "1, sent 2"},
        {"a redirect's chunked body keeps its connection", true,
         redirect("Transfer-Encoding: chunked\r\n\r\n5\r\nmoved\r\n0\r\n\r\n", true), "",
         whole + "1, sent 2"},
        {"a redirect's body longer than kept", true,
         redirect("Content-Length: " + std::to_string(longer.size()) + "\r\n\r\n" + longer, false),
         "", whole + "2, sent 2"},
        {"a redirect's chunked body longer than kept", true,
         redirect("Transfer-Encoding: chunked\r\n\r\n10001\r\n" + longer + "\r\n0\r\n\r\n", false),
         "", whole + "2, sent 2"},
        {"a redirect's body of no length", true, redirect("\r\nmoved", false), "",
         whole + "2, sent 2"},
        {"a redirect's body with bytes past it", true,
         redirect("Content-Length: 4\r\n\r\nmoved", false), "", whole + "2, sent 2"},
        {"a cut chunked body", true, "Ghttp://h/|L|C|" + chunked + "5\r\nhello\r\n|E|S", "",
         "200 OK [hello] done 0, lookups 1, sent 1, cut"},
        {"a malformed chunked body", true, "Ghttp://h/|L|C|" + chunked + "5\r\nhello\r\nzz\r\n|S",
         "", "800 Bad chunked body: missing chunk size [hello] done 0, lookups 1, sent 1, cut"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fresh();
        abortInBody = false;
        cli->setKeepAlive(row.keepAlive);
        play(row.script);
        EXPECT_EQ(row.log.empty() ? row.log : log, row.log);
        EXPECT_EQ(outcome(), row.outcome);
        EXPECT_FALSE(net->isOpen && !row.keepAlive);
        // Kept connections ask for it; a retry sends the same request again.
        EXPECT_EQ(row.keepAlive && net->sent[0].find(" HTTP/1.1\r\n") != std::string::npos &&
                      !net->sent[0].ends_with("\r\nConnection: keep-alive\r\n\r\n"),
                  false);
        EXPECT_TRUE(net->sent.size() < 3 || net->sent[1] == net->sent[2]);
    }
}

TEST_F(HttpCliTest, RedirectsAcrossHostsRepeatTheRangeButNotTheCredentials) {
    cli->setUsername("u");
    cli->setPassword("p");
    cli->setContentRangeBegin("100");
    cli->setReference("http://u:p@a.org/from.html");
    // A range on the redirect says nothing of the body that follows it.
    play(
        "Ghttp://a.org/old.htm|L|C|>HTTP/1.0 302 Found\r\nLocation: http://b.org:81/new.htm\r\n"
        "Content-Range: bytes 100-199/200\r\n\r\nmoved|S|L|C|>HTTP/1.0 200 OK\r\n\r\nnew|E|S");
    EXPECT_NE(net->sent[0].find("Authorization: Basic dTpw\r\n"), std::string::npos);
    EXPECT_EQ(net->calls, (std::vector<std::string>{"lookup a.org", "connect 127.0.0.1:80", "close",
                                                    "lookup b.org", "connect 127.0.0.1:81"}));
    EXPECT_EQ(net->sent[1],
              "GET /new.htm HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "Referer: http://a.org/from.html\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\n"
              "Host: b.org:81\r\n"
              "Range: bytes=100-\r\n\r\n");
    EXPECT_EQ(log, "C[ddd]L(http://b.org:81/new.htm)C[d]<b>D");
    EXPECT_EQ(body, "new");
    EXPECT_EQ(cli->ContentRangeBegin(), "") << "the whole document came";
    EXPECT_EQ(cli->RcvdHeader().size(), 4u);
    EXPECT_EQ(cli->DocName(), "old.htm");
}

TEST_F(HttpCliTest, HttpsGoesOverTlsAndItsCredentialsNeverLeaveIt) {
    cli->setUsername("u");
    cli->setPassword("p");
    cli->setFollowHttps(true);
    play("Ghttps://a.org/x|L|C|>HTTP/1.0 302 Found\r\nLocation: http://a.org/y\r\n\r\n|S|L|C");
    EXPECT_EQ(net->calls, (std::vector<std::string>{"lookup a.org", "tls a.org verified",
                                                    "connect 127.0.0.1:443", "close",
                                                    "lookup a.org", "connect 127.0.0.1:80"}));
    EXPECT_NE(net->sent[0].find("Authorization: Basic dTpw\r\n"), std::string::npos);
    EXPECT_EQ(net->sent[1].find("Authorization"), std::string::npos);
    // A certificate refused ends the request with its reason.
    play("A|S");
    cli->setVerifyCertificates(false);
    cli->setProxy("proxy:3128");
    play("Ghttps://b.org/|L");
    EXPECT_EQ(net->calls[net->calls.size() - 2], "tls b.org tunnelled");
    play("C" + std::to_string(kTlsWrongHostName) + "|S");
    EXPECT_EQ(cli->StatusCode(), kTlsWrongHostName);
    EXPECT_EQ(cli->ReasonPhrase(), "certificate for another host name");
}

}  // namespace
}  // namespace quillharbor
