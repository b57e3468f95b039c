// Small scripted sites grabbed whole, whose links lean on the URL rules; one scripted server
// serves them all.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/site_grab.h"
#include "net/http_servers.h"

namespace quillharbor::test {
namespace {

using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

constexpr int kSteps = 1500;          // 20 ms steps: thirty seconds at most
constexpr std::size_t kRunaway = 20;  // requests of one site that prove a grab never ends

class UrlRulesGrabTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(servers.startScripted()); }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(servers.scriptedPort) + path;
    }
    // The heads the server received for the paths under prefix, in order, each line ended by
    // CR LF.
    std::vector<std::string> headsUnder(const std::string& prefix) const {
        std::vector<std::string> heads;
        const std::string all = servers.scriptedHeads();
        for (std::size_t start = 0; start < all.size();) {
            const std::size_t end = all.find("\r\n\r\n", start);
            const std::string head = all.substr(start, end - start) + "\r\n";
            if (head.starts_with("GET " + prefix)) {
                heads.push_back(head);
            }
            start = end == std::string::npos ? all.size() : end + 4;
        }
        return heads;
    }
    std::vector<std::string> requestLinesUnder(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const std::string& head : headsUnder(prefix)) {
            lines.push_back(head.substr(0, head.find("\r\n")));
        }
        return lines;
    }
    // Grabs every level below prefix from its start page; stops early when the site runs away.
    void grab(const std::string& prefix, const std::string& start) {
        const std::string program = work.make(prefix.substr(6, prefix.size() - 7)) + "/";
        SiteGrab site(program, program + "downloads/", 2);
        TTask* task = site.createTask("grab", url(start), url(prefix));
        ASSERT_NE(task, nullptr);
        site.run(kSteps, [&] { return headsUnder(prefix).size() > kRunaway; });
        EXPECT_EQ(task->State, TaskState::Finished);
    }

    HttpServers& servers = HttpServers::instance();
    TempDirectory work;
};

// Dot segments that must not grow new URLs; a frameset linked with a query; what reaches the
// server: the port in "Host: ", neither fragment (the Referer neither) nor raw blank.
TEST_F(UrlRulesGrabTest, EachSiteIsGrabbedWithExactlyTheRequestsItsLinksName) {
    const struct {
        const char* prefix;
        const char* start;
        std::vector<std::string> requested;  // below prefix
    } sites[] = {
        {"/site/loop/", "a/p.html", {"a/p.html", "b/q.html"}},
        {"/site/api/",
         "start.html",
         {"start.html", "index.html?com/x/overview.html", "left.html", "com/x/overview.html"}},
        {"/site/heads/",
         "start.html#intro",
         {"start.html", "a.html", "b%20c.html", "moved", "d.html"}},
    };
    for (const auto& site : sites) {
        SCOPED_TRACE(site.prefix);
        grab(site.prefix, site.prefix + std::string(site.start));
        std::vector<std::string> expected;
        for (const std::string& path : site.requested) {
            expected.push_back("GET " + (site.prefix + path) + " HTTP/1.0");
        }
        EXPECT_THAT(requestLinesUnder(site.prefix), UnorderedElementsAreArray(expected));
        const std::vector<std::string> heads = headsUnder(site.prefix);
        EXPECT_THAT(heads, Each(HasSubstr("\r\nHost: 127.0.0.1:" +
                                          std::to_string(servers.scriptedPort) + "\r\n")));
        EXPECT_THAT(heads, Each(Not(HasSubstr("#"))));
    }
}

}  // namespace
}  // namespace quillharbor::test
