// Small sites grabbed whole from servers with a twist: one that asks for a wait (429 with
// Retry-After) and counts connections, one whose answers come after interim answers and whose
// redirect has a body, and scripted sites whose links lean on the URL rules.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/grab_checks.h"
#include "engine/site_grab.h"

namespace quillharbor::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Grabs every level below boundary from url in a fresh program directory with `slots` slots and
// fast dispatch, settings changed by configure; check sees the task (expected finished) before
// the engine closes. Returns the program directory.
std::string grabSite(const std::string& url, const std::string& boundary, std::uint16_t slots,
                     const std::function<void(GlobalOptions&)>& configure,
                     const std::function<void(SiteGrab&, TTask&)>& check = {},
                     const std::function<bool()>& runaway = {}) {
    static TempDirectory programs;
    static int count = 0;
    const std::string program = made(programs / std::to_string(++count)) + "/";
    SiteGrab grab(program, program + "downloads/", slots);
    grab.engine().globalOptions().FastDispatch = true;
    configure(grab.engine().globalOptions());
    grab.engine().ApplySettings();
    TTask* task = grab.createTask("grab", url, boundary);
    EXPECT_NE(task, nullptr);
    if (task != nullptr) {
        grab.run(15000, runaway);
        EXPECT_EQ(task->State, TaskState::Finished);
        if (check)
            check(grab, *task);
    }
    EXPECT_TRUE(grab.close());
    return program;
}

// Starts the named server script, which logs to log; its root URL, "" when it did not start.
std::string startLogging(const std::string& name, const std::string& script,
                         const std::string& log) {
    const std::uint16_t port =
        LoopbackServers::instance().start(name, LoopbackServers::script(script, {log}));
    return port == 0 ? "" : "http://127.0.0.1:" + std::to_string(port) + "/";
}

// Two connections per host allowed: the page asked to wait arrives after the wait, nothing
// fails, at most two connections were open at once.
TEST(ServerTwistGrab, APageAskedToWaitArrivesAfterTheWaitWithinTheCapPerHost) {
    TempDirectory work;
    const std::string log = work / "answers.log";
    const std::string site = startLogging("polite", "http_polite.py", log);
    ASSERT_FALSE(site.empty());
    grabSite(
        site + "index.html", site, 4, [](GlobalOptions& options) { options.MaxConnsPerHost = 2; },
        [](SiteGrab& grab, TTask& task) {
            for (const TDnObj& object : task.Objects) {
                EXPECT_TRUE(!object.URL.ends_with(".html") || object.State == ObjectState::Done)
                    << object.URL;
            }
            EXPECT_EQ(contentsOf(task.Dir + "p1.html"), "page /p1.html");
            EXPECT_THAT(grab.view().notifications, ElementsAre("Task grab is finished."));
        });
    double refusedAt = -1, fetchedAt = -1;
    std::istringstream answers(contentsOf(log));
    std::string path;
    int status = 0;
    for (double at = 0; answers >> path >> status >> at;) {
        if (path == "/p1.html")
            (status == 429 ? refusedAt : fetchedAt) = at;
    }
    ASSERT_GE(refusedAt, 0);
    // The answer is logged 0.3 s after the request came; the next request waited 2 s for its
    // own 0.3 s answer.
    EXPECT_GE(fetchedAt - refusedAt, 2.0);
    EXPECT_EQ(contentsOf(log + ".max"), "2");
}

// Over one kept connection, as over a connection per request: the same requests, the same files.
TEST(ServerTwistGrab, InterimAnswersAndARedirectBodyLeaveTheConnectionKept) {
    TempDirectory work;
    const std::string log = work / "requests.log";
    const std::string site = startLogging("interim", "http_interim.py", log);
    ASSERT_FALSE(site.empty());
    std::map<bool, std::map<std::string, std::string>> trees;
    for (const bool keepAlive : {false, true}) {
        std::filesystem::remove(log);
        grabSite(
            site + "index.html", site, 1,
            [keepAlive](GlobalOptions& options) { options.KeepAlive = keepAlive; },
            [&](SiteGrab&, TTask& task) { trees[keepAlive] = treeOf(task.Dir); });
        std::set<std::string> connections;
        std::vector<std::string> paths;
        std::istringstream lines(contentsOf(log));
        for (std::string connection, path; lines >> connection >> path;) {
            connections.insert(connection);
            paths.push_back(path);
        }
        EXPECT_THAT(paths, ElementsAre("/index.html", "/robots.txt", "/moved", "/target.html",
                                       "/second.html"));
        EXPECT_EQ(connections.size(), keepAlive ? 1u : 5u);
    }
    EXPECT_EQ(trees[true]["target.html"], "<p>the target</p>");
    EXPECT_EQ(trees[true]["second.html"], "<p>the second page</p>");
    EXPECT_EQ(trees[true], trees[false]);
}

// Dot segments that must not grow new URLs; a frameset linked with a query; what reaches the
// server: the port in "Host: ", neither fragment (the Referer neither) nor raw blank. Each site
// is grabbed with exactly the requests its links name.
TEST(ServerTwistGrab, UrlRulesGiveEachSiteExactlyTheRequestsItsLinksName) {
    HttpServers& servers = HttpServers::instance();
    ASSERT_TRUE(servers.startScripted());
    const std::string host = HttpServers::at(servers.scriptedPort, "");
    // The heads the server received for the paths under prefix, in order.
    const auto headsUnder = [&servers](const std::string& prefix) {
        std::vector<std::string> heads;
        const std::string all = servers.scriptedHeads();
        for (std::size_t start = 0; start < all.size();) {
            const std::size_t end = all.find("\r\n\r\n", start);
            const std::string head = all.substr(start, end - start) + "\r\n";
            if (head.starts_with("GET " + prefix))
                heads.push_back(head);
            start = end == std::string::npos ? all.size() : end + 4;
        }
        return heads;
    };
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
        // Stopped early when the site runs away.
        grabSite(
            host + site.prefix + site.start, host + site.prefix, 2, [](GlobalOptions&) {}, {},
            [&] { return headsUnder(site.prefix).size() > 20; });
        std::vector<std::string> expected, lines;
        for (const std::string& path : site.requested) {
            expected.push_back("GET " + (site.prefix + path) + " HTTP/1.0");
        }
        const std::vector<std::string> heads = headsUnder(site.prefix);
        for (const std::string& head : heads) lines.push_back(head.substr(0, head.find("\r\n")));
        EXPECT_THAT(lines, ::testing::UnorderedElementsAreArray(expected));
        EXPECT_THAT(heads, Each(HasSubstr("\r\nHost: 127.0.0.1:" +
                                          std::to_string(servers.scriptedPort) + "\r\n")));
        EXPECT_THAT(heads, Each(Not(HasSubstr("#"))));
    }
}

}  // namespace
}  // namespace quillharbor::test
