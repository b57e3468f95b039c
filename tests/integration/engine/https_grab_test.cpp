// Whole grabs over https from nginx on loopback: the example site grabbed over https ends with the
// tree of its grab over http, robots.txt asked of both; and a site that links one host over both
// schemes fetches each document once.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/grab_checks.h"
#include "engine/site_grab.h"
#include "net/tls_servers.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kSteps = 3000;  // 20 ms steps: a minute at most

class HttpsGrab : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveProgram("/usr/sbin/nginx")) {
            GTEST_SKIP() << "nginx is not installed (scripts/setup installs it)";
        }
        std::error_code ignored;
        fs::copy(fs::path(QUILLHARBOR_SOURCE_DIR) / "examples/site", tls.root + "/site",
                 fs::copy_options::recursive | fs::copy_options::skip_existing, ignored);
        std::ofstream(tls.root + "/robots.txt") << "User-agent: *\nDisallow: /site/private/\n";
    }
    std::string accessLog(const std::string& name) const {
        return readWholeFile(tls.http.work.path() + "/" + name + "/access.log").valueOr({});
    }

    TlsServers& tls = TlsServers::instance();
    TempDirectory work;
};

TEST_F(HttpsGrab, TheSiteOverHttpsEndsWithTheTreeOfItsGrabOverHttp) {
    std::uint16_t httpPort = 0;
    const std::uint16_t tlsPort = tls.start("good", &httpPort);
    ASSERT_NE(tlsPort, 0);
    const std::string program = work.make("program") + "/";
    SiteGrab grab(program, program + "downloads/", 4);
    const std::string plain = "http://127.0.0.1:" + std::to_string(httpPort) + "/site/";
    const std::string secure = TlsServers::https(tlsPort, "/site/");
    TTask* overHttp = grab.createTask("plain", plain + "index.html", plain);
    TTask* overHttps = grab.createTask("secure", secure + "index.html", secure);
    ASSERT_TRUE(overHttp != nullptr && overHttps != nullptr);
    ASSERT_TRUE(grab.run(kSteps));
    EXPECT_EQ(overHttps->State, TaskState::Finished);

    // Links left absolute (to pages not retrieved) name the server the page came from.
    auto tree = treeOf(overHttps->Dir);
    EXPECT_GE(tree.size(), 10u);
    const std::string secureHost = TlsServers::https(tlsPort, "");
    const std::string plainHost = "http://127.0.0.1:" + std::to_string(httpPort);
    for (auto& [name, bytes] : tree) {
        for (std::size_t at = bytes.find(secureHost); at != std::string::npos;
             at = bytes.find(secureHost, at)) {
            bytes.replace(at, secureHost.size(), plainHost);
        }
    }
    EXPECT_EQ(tree, treeOf(overHttp->Dir));
    const std::string log = accessLog("nginx-good");
    EXPECT_EQ(occurrences(log, "GET /robots.txt "), 2) << "one host per scheme";
    EXPECT_THAT(log, Not(HasSubstr("/site/private/")));
}

// http://127.0.0.2/ and https://127.0.0.2/ are one site only on the schemes' own ports, which
// only root may open.
TEST_F(HttpsGrab, LinksOverBothSchemesOfOneHostFetchEachDocumentOnce) {
    fs::create_directories(tls.root + "/mixed");
    std::ofstream(tls.root + "/mixed/index.html")
        << "<a href=\"https://127.0.0.2/mixed/x.html\">x</a>"
        << "<a href=\"https://127.0.0.2/mixed/index.html\">me</a><a href=\"y.html\">y</a>";
    std::ofstream(tls.root + "/mixed/x.html")
        << "<a href=\"http://127.0.0.2/mixed/x.html\">me</a><a href=\"y.html\">y</a>"
        << "<a href=\"http://127.0.0.2/mixed/index.html\">index</a>";
    std::ofstream(tls.root + "/mixed/y.html") << "<p>y</p>";
    if (tls.start("good", nullptr, "127.0.0.2") == 0) {
        GTEST_SKIP() << "nginx cannot listen on 127.0.0.2:80 and :443 here";
    }
    const std::string program = work.make("mixed") + "/";
    SiteGrab grab(program, program + "downloads/", 2);
    TTask* task =
        grab.createTask("mixed", "http://127.0.0.2/mixed/index.html", "http://127.0.0.2/mixed/");
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab.run(kSteps));
    EXPECT_EQ(task->State, TaskState::Finished);

    const std::string log = accessLog("nginx-good127.0.0.2");
    for (const char* page : {"index", "x", "y"}) {
        EXPECT_EQ(occurrences(log, "GET /mixed/" + std::string(page) + ".html "), 1) << page;
    }
    ASSERT_NE(TaskFindDocument(*task, "http://127.0.0.2/mixed/x.html"), nullptr);
    EXPECT_EQ(TaskFindDocument(*task, "http://127.0.0.2/mixed/x.html")->URL,
              "https://127.0.0.2/mixed/x.html");
    const auto tree = treeOf(task->Dir);
    EXPECT_EQ(tree.size(), 3u);
    for (const auto& [name, bytes] : tree) {
        EXPECT_THAT(bytes, Not(HasSubstr("127.0.0.2"))) << name << ": every link is local";
    }
}

}  // namespace
}  // namespace quillharbor::test
