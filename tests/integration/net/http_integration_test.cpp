// THttpCli against real servers on loopback: nginx (plain and over TLS) for documents and ranges,
// tinyproxy and microsocks as proxies.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "net/http_cli.h"
#include "net/http_servers.h"
#include "net/private_hosts.h"
#include "net/tls_failure.h"
#include "net/wsocket.h"

namespace quillharbor::test {
namespace {

// One client on a real loop, with everything it reports written down.
class HttpIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        cli->OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
            body.append(data, length);
        };
        cli->OnLocationChange = [this](THttpCli& c) { locations.push_back(c.Location()); };
        cli->OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
            doneErrors.push_back(error);
        };
    }
    void TearDown() override {
        cli.reset();
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }

    // Fetches url on a fresh record and runs the loop until OnRequestDone (about 20 s at most).
    bool fetch(const std::string& url) {
        body.clear();
        doneErrors.clear();
        locations.clear();
        cli->setURL(url);
        cli->GetASync();
        return runUntil([this] { return !doneErrors.empty(); });
    }
    bool runUntil(const std::function<bool()>& done, int rounds = 400) {
        for (int i = 0; i < rounds && !done(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        return done();
    }
    // Fetches url and expects status and the whole document.
    void fetchesTheDocument(const std::string& url, int status = 200) {
        ASSERT_TRUE(fetch(url)) << url;
        EXPECT_EQ(cli->StatusCode(), status) << url;
        EXPECT_TRUE(status != 200 || body == servers.document) << url;
    }

    HttpServers& servers = HttpServers::instance();
    MessageLoop loop;
    std::unique_ptr<THttpCli> cli = std::make_unique<THttpCli>(loop);
    std::string body;
    std::vector<std::string> locations;
    std::vector<int> doneErrors;
};

// Over TLS: the document, a range, an http page redirecting to https (followed only when
// allowed), refused certificates (fetched with verification off), and the proxies: tinyproxy
// with and without its login (plain and as CONNECT tunnel), microsocks' SOCKS 5 under TLS.
TEST_F(HttpIntegration, TlsRedirectsRefusedCertificatesAndProxies) {
    TlsServers& tls = TlsServers::instance();
    std::uint16_t httpPort = 0;
    const std::uint16_t port = tls.start("good", &httpPort);
    ASSERT_NE(port, 0) << "nginx over TLS did not start; see " << servers.work.path();
    const std::string document = TlsServers::https(port, "/index.html");
    fetchesTheDocument(document);
    cli->setContentRangeBegin("1000");
    ASSERT_TRUE(fetch(document));
    EXPECT_EQ(cli->StatusCode(), 206);
    EXPECT_EQ(body, servers.document.substr(1000));
    cli->setContentRangeBegin("");

    fetchesTheDocument(HttpServers::at(httpPort, "/secure/index.html"), 301);
    cli->setFollowHttps(true);
    fetchesTheDocument(HttpServers::at(httpPort, "/secure/index.html"));
    EXPECT_EQ(locations, std::vector<std::string>{document});

    for (const auto& [kind, status] :
         {std::pair{"wronghost", kTlsWrongHostName}, std::pair{"expired", kTlsCertificateExpired},
          std::pair{"stranger", kTlsUnknownIssuer}}) {
        SCOPED_TRACE(kind);
        const std::uint16_t refused = tls.start(kind);
        ASSERT_NE(refused, 0);
        cli->setVerifyCertificates(true);
        ASSERT_TRUE(fetch(TlsServers::https(refused, "/index.html")));
        EXPECT_EQ(cli->StatusCode(), status);
        EXPECT_EQ(cli->ReasonPhrase(), tlsFailureText(status));
        EXPECT_TRUE(body.empty());
        cli->setVerifyCertificates(false);
        fetchesTheDocument(TlsServers::https(refused, "/index.html"));
    }

    ASSERT_TRUE(servers.startNginx() && servers.startProxy());
    cli->setProxy("127.0.0.1:" + std::to_string(servers.proxyPort));
    for (const std::string& url : {HttpServers::at(servers.nginxPort, "/index.html"), document}) {
        cli->setProxyUsername("");
        fetchesTheDocument(url, 407);
        EXPECT_TRUE(url != document || body.empty()) << "nothing of the proxy's answer";
        cli->setProxyUsername(HttpServers::ProxyUser);
        cli->setProxyPassword(HttpServers::ProxyPassword);
        fetchesTheDocument(url);
    }

    cli->setProxy("");
    const std::uint16_t socksPort = servers.startMicrosocks();
    ASSERT_NE(socksPort, 0);
    // The socket keeps these until its next session closes.
    cli->CtrlSocket()->setSocksServer("127.0.0.1");
    cli->CtrlSocket()->setSocksPort(std::to_string(socksPort));
    fetchesTheDocument(document);
}

// A name with an IPv6 and an IPv4 address of which only IPv4 answers (a private /etc/hosts): the
// request goes through over IPv4.
TEST_F(HttpIntegration, ANameWhoseIPv6AddressFailsConnectsOverIPv4) {
    if (!insidePrivateHosts()) {
        const int status = rerunWithPrivateHosts("::1 dual.test\n127.0.0.1 dual.test\n");
        if (status == -1) {
            GTEST_SKIP() << "no private mount namespace here (unshare -m is not permitted)";
        }
        EXPECT_EQ(status, 0);
        return;
    }
    {
        // IPv6 leads: the unreachable address is tried first.
        TWSocket socket(loop);
        int lookedUp = -1;
        socket.OnDnsLookupDone = [&](TWSocket&, int error) { lookedUp = error; };
        socket.DnsLookup("dual.test");
        ASSERT_TRUE(runUntil([&] { return lookedUp != -1; }));
        EXPECT_EQ(socket.DnsResultList(), (std::vector<std::string>{"::1", "127.0.0.1"}));
    }
    ASSERT_TRUE(servers.startNginx());
    // Refused on ::1 the next address is tried at once; silent, after its head start.
    for (const bool silent : {false, true}) {
        const SilentIPv6Port hole(silent ? servers.nginxPort : 0);
        ASSERT_TRUE(!silent || hole.ok());
        fetchesTheDocument("http://dual.test:" + std::to_string(servers.nginxPort) + "/index.html");
    }
    // Where neither address answers, the request fails once, with the last failure.
    ASSERT_TRUE(fetch("http://dual.test:" + std::to_string(freePort()) + "/"));
    EXPECT_EQ(doneErrors, std::vector<int>{10061});
}

}  // namespace
}  // namespace quillharbor::test
