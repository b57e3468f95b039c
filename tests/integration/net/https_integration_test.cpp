// THttpCli over TLS against nginx on loopback, with certificates the fixture makes: whole
// documents, ranges, redirects from http, refused certificates, tinyproxy's CONNECT tunnel and
// microsocks' SOCKS 5 under TLS.

#include <gtest/gtest.h>

#include "net/socket_error.h"
#include "net/tls_failure.h"
#include "net/tls_servers.h"

namespace quillharbor::test {
namespace {

class Https : public HttpIntegrationTest {
protected:
    void SetUp() override {
        if (!haveProgram("/usr/sbin/nginx")) {
            GTEST_SKIP() << "nginx is not installed (scripts/setup installs it)";
        }
        HttpIntegrationTest::SetUp();
        port = tls.start("good", &httpPort);
        ASSERT_NE(port, 0) << "nginx over TLS did not start; see " << servers.work.path();
    }

    // Fetches the document over TLS from `tlsPort` and expects it whole.
    void fetchesTheDocument(std::uint16_t tlsPort) {
        body.clear();
        doneErrors.clear();
        ASSERT_TRUE(fetch(TlsServers::https(tlsPort, "/index.html")));
        EXPECT_EQ(cli->StatusCode(), 200);
        EXPECT_EQ(body, servers.document);
    }

    TlsServers& tls = TlsServers::instance();
    std::uint16_t port = 0;
    std::uint16_t httpPort = 0;
};

TEST_F(Https, DocumentsRangesRedirectsAndRefusedCertificates) {
    fetchesTheDocument(port);
    body.clear();
    doneErrors.clear();
    cli->setContentRangeBegin("1000");
    ASSERT_TRUE(fetch(TlsServers::https(port, "/index.html")));
    EXPECT_EQ(cli->StatusCode(), 206);
    EXPECT_EQ(body, servers.document.substr(1000));
    cli->setContentRangeBegin("");

    // A redirect from http to https is followed only when allowed.
    doneErrors.clear();
    ASSERT_TRUE(fetch(at(httpPort, "/secure/index.html")));
    EXPECT_EQ(cli->StatusCode(), 301);
    cli->setFollowHttps(true);
    body.clear();
    doneErrors.clear();
    ASSERT_TRUE(fetch(at(httpPort, "/secure/index.html")));
    EXPECT_EQ(cli->StatusCode(), 200);
    EXPECT_EQ(locations, std::vector<std::string>{TlsServers::https(port, "/index.html")});
    EXPECT_EQ(body, servers.document);

    const struct {
        const char* kind;
        int status;
    } cases[] = {
        {"wronghost", kTlsWrongHostName},
        {"expired", kTlsCertificateExpired},
        {"stranger", kTlsUnknownIssuer},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.kind);
        const std::uint16_t refused = tls.start(each.kind);
        ASSERT_NE(refused, 0);
        body.clear();
        doneErrors.clear();
        cli->setVerifyCertificates(true);
        ASSERT_TRUE(fetch(TlsServers::https(refused, "/index.html")));
        EXPECT_EQ(cli->StatusCode(), each.status);
        EXPECT_EQ(cli->ReasonPhrase(), tlsFailureText(each.status));
        EXPECT_TRUE(body.empty());
        cli->setVerifyCertificates(false);
        fetchesTheDocument(refused);
    }
}

TEST_F(Https, ThroughTinyproxysTunnelAndMicrosocks) {
    if (!haveProgram("/usr/bin/tinyproxy") || !haveProgram("/usr/bin/microsocks")) {
        GTEST_SKIP() << "tinyproxy or microsocks is not installed";
    }
    ASSERT_TRUE(servers.startProxy());
    cli->setProxy("127.0.0.1:" + std::to_string(servers.proxyPort));
    ASSERT_TRUE(fetch(TlsServers::https(port, "/index.html")));
    EXPECT_EQ(cli->StatusCode(), 407);
    EXPECT_TRUE(body.empty());
    cli->setProxyUsername(HttpServers::ProxyUser);
    cli->setProxyPassword(HttpServers::ProxyPassword);
    fetchesTheDocument(port);

    cli->setProxy("");
    ServerProcess microsocks;
    const std::uint16_t socksPort = freePort();
    ASSERT_TRUE(microsocks.start(
        {"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(socksPort)}, socksPort,
        servers.work.path() + "/microsocks.out"));
    // The socket keeps these until its next session closes.
    cli->CtrlSocket()->setSocksServer("127.0.0.1");
    cli->CtrlSocket()->setSocksPort(std::to_string(socksPort));
    fetchesTheDocument(port);
}

}  // namespace
}  // namespace quillharbor::test
