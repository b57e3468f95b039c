// The HTTP slot over https: a partial file resumed with a range, an http page redirecting to
// https, and certificates that fail verification, which write nothing.

#include "clients/http_slot_fixture.h"
#include "net/tls_failure.h"
#include "net/tls_servers.h"

namespace quillharbor::test {
namespace {

class HttpsSlotTest : public HttpSlotTest {
protected:
    void SetUp() override {
        port = tls.start("good", &httpPort);
        ASSERT_NE(port, 0);
        HttpSlotTest::SetUp();
        state.Https = true;
        state.VerifyCertificates = true;
    }

    TlsServers& tls = TlsServers::instance();
    std::uint16_t port = 0;
    std::uint16_t httpPort = 0;
};

TEST_F(HttpsSlotTest, PartialFileResumesWithARange) {
    writeFile(taskDir + "index.html", servers.document.substr(0, 1000));
    TDnObj& page = object(TlsServers::https(port, "/index.html"));
    page.LocalName = "index.html";
    page.Received = 1000;
    page.Size = 5000;
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(local(page), servers.document);
    const std::string log = readFile(servers.work.path() + "/nginx-good/access.log");
    EXPECT_NE(log.find("GET /index.html HTTP/1.0 \"bytes=1000-5000\" 206 4000"), std::string::npos);
}

TEST_F(HttpsSlotTest, RedirectToHttpsIsFollowedWithTheSetting) {
    TDnObj& page = object(at(httpPort, "/secure/index.html"));
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.Location, TlsServers::https(port, "/index.html"));
    EXPECT_EQ(local(page), servers.document);

    state.Https = false;
    TDnObj& refused = object(at(httpPort, "/secure/index.html?again"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.State, ObjectState::Failed) << "the redirect is where it ends";
    EXPECT_TRUE(refused.Location.empty());
}

TEST_F(HttpsSlotTest, ACertificateThatFailsVerificationWritesNothing) {
    for (const auto& [kind, status] : {std::pair{"expired", kTlsCertificateExpired},
                                       std::pair{"wronghost", kTlsWrongHostName}}) {
        SCOPED_TRACE(kind);
        const std::uint16_t refusing = tls.start(kind);
        ASSERT_NE(refusing, 0);
        TDnObj& page = object(TlsServers::https(refusing, "/index.html?" + std::string(kind)));
        ASSERT_TRUE(fetch(page));
        EXPECT_EQ(page.State, ObjectState::ProtocolError);
        EXPECT_EQ(page.Status, status);
        EXPECT_EQ(reported(EngineMessage::HttpError), status);
        EXPECT_TRUE(page.LocalName.empty());

        // Turned off for the task, the same server is fetched.
        TaskSetFlag(*task, TaskFlag::SkipCertificateCheck);
        TDnObj& again =
            object(TlsServers::https(refusing, "/index.html?" + std::string(kind) + "1"));
        ASSERT_TRUE(fetch(again));
        EXPECT_EQ(local(again), servers.document);
        TaskClearFlag(*task, TaskFlag::SkipCertificateCheck);
        reports.clear();
        lParams.clear();
    }
}

}  // namespace
}  // namespace quillharbor::test
