// A generated site of 400 pages grabbed by the program, killed with SIGKILL at random moments and
// resumed after each kill: it ends with the tree of a grab that was never interrupted.

#include <gmock/gmock.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>

#include "cli/cli_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

constexpr int kPages = 400;
constexpr int kKills = 20;

class KilledGrabTest : public CliTest {
protected:
    static void SetUpTestSuite() {
        CliTest::SetUpTestSuite();
        const fs::path root = *s_work / "generated";
        ASSERT_TRUE(generateSite(root.string(), kPages));
        s_siteServer = new ServerProcess;
        s_sitePort = startNginx(*s_siteServer, root, "generated-nginx");
        ASSERT_NE(s_sitePort, 0);
    }
    static void TearDownTestSuite() {
        delete s_siteServer;
        s_siteServer = nullptr;
        CliTest::TearDownTestSuite();
    }
    static std::string siteUrl(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(s_sitePort) + path;
    }

    static inline ServerProcess* s_siteServer = nullptr;
    static inline std::uint16_t s_sitePort = 0;
};

TEST_F(KilledGrabTest, ResumesAfterTwentyKillsEndWithTheTreeOfAnUninterruptedGrab) {
    const std::vector<std::string> get = {
        "get", siteUrl("/site/index.html"), "--levels", "infinity", "--files", "infinity", "--name",
        "site"};
    const fs::path whole = newHome("whole");
    ASSERT_EQ(run(whole, {"set", "General.MaxHTTPConns=16"}).status, 0);
    ASSERT_NE(run(whole, get).status, -1);
    const auto uninterrupted = task(whole, "site");
    ASSERT_GT(uninterrupted.size(), static_cast<std::size_t>(kPages));

    const fs::path home = newHome("killed");
    const fs::path folder = home / "My Downloads" / "site";
    // Four slots start at most 20 objects a second, so twenty kills within 0.6 s of a start
    // land before the last of some 500 objects.
    ASSERT_EQ(run(home, {"set", "General.MaxHTTPConns=4"}).status, 0);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(100, 600);
    for (int kill = 0; kill < kKills; ++kill) {
        auto program = start(home, kill == 0 ? get : std::vector<std::string>{"resume"});
        for (int wait = 0; wait < 500 && !fs::exists(home / "site.tsf"); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        program->signal(SIGKILL);
        ASSERT_EQ(program->wait(), 128 + SIGKILL) << "kill " << kill << program->output();

        const auto killed = treeOf(folder);
        const Ran ran = run(home, {"list"});
        EXPECT_EQ(ran.status, 0);
        EXPECT_THAT(ran.out, HasSubstr("site (stopped)")) << "kill " << kill << ": " << ran.out;
        EXPECT_TRUE(treeOf(folder) == killed) << "listing changed a file after kill " << kill;
    }

    ASSERT_EQ(run(home, {"set", "General.MaxHTTPConns=16"}).status, 0);
    ASSERT_NE(run(home, {"resume"}).status, -1);
    const auto resumed = treeOf(folder);
    EXPECT_TRUE(resumed.contains("Starting Document.html"));
    std::vector<std::pair<std::string, std::string>> differing;
    std::set_symmetric_difference(resumed.begin(), resumed.end(), uninterrupted.begin(),
                                  uninterrupted.end(), std::back_inserter(differing));
    std::set<std::string> names;
    for (const auto& [name, bytes] : differing) {
        names.insert(name);
    }
    EXPECT_THAT(names, ::testing::IsEmpty());
}

}  // namespace
}  // namespace quillharbor::test
