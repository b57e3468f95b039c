// Kept connections where the queue mixes hosts: two sites grabbed at once, each slot staying with
// the host of its connection, and a server whose answers come after interim answers and whose
// redirect has a body, all over one connection.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/site_grab.h"
#include "net/http_servers.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

constexpr int kSteps = 6000;  // 20 ms steps: two minutes at most

bool sameTree(const std::string& a, const std::string& b) {
    return std::system(("diff -r '" + a + "' '" + b + "' >/dev/null").c_str()) == 0;
}

// The task directories after a grab of each starting URL at once, with fast dispatch.
std::vector<std::string> grabAtOnce(const std::string& program, std::uint16_t slots,
                                    const std::vector<std::string>& sites, bool keepAlive) {
    SiteGrab grab(program, program + "downloads/", slots);
    grab.engine().globalOptions().FastDispatch = true;
    grab.engine().globalOptions().KeepAlive = keepAlive;
    grab.engine().ApplySettings();
    std::vector<TTask*> tasks;
    for (const std::string& site : sites) {
        tasks.push_back(
            grab.createTask("t" + std::to_string(tasks.size()), site + "index.html", site));
        EXPECT_NE(tasks.back(), nullptr);
        if (tasks.back() == nullptr) {
            return {};
        }
    }
    EXPECT_TRUE(grab.run(kSteps));
    EXPECT_TRUE(grab.close());
    std::vector<std::string> dirs;
    for (const TTask* task : tasks) {
        EXPECT_EQ(task->State, TaskState::Finished) << task->Name;
        dirs.push_back(task->Dir);
    }
    return dirs;
}

// nginx's log lines end "... <connection> <requests on it>": the connections it served.
std::set<std::string> connectionsIn(const std::string& log) {
    std::set<std::string> connections;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t last = line.rfind(' ');
        const std::size_t connection = line.rfind(' ', last - 1);
        connections.insert(line.substr(connection + 1, last - connection - 1));
    }
    return connections;
}

TEST(KeptHostGrabTest, TwoSitesGrabbedAtOnceKeepAFewConnectionsPerSlotAndHost) {
    constexpr int kPages = 80;
    constexpr std::uint16_t kSlots = 4;
    TempDirectory work;
    const std::string root = work.make("www");
    ASSERT_TRUE(generateSite(root, kPages));
    ServerProcess servers[2];
    std::vector<std::string> sites;
    std::vector<std::string> logs;
    for (ServerProcess& server : servers) {
        const std::string dir = work.make("nginx" + std::to_string(sites.size()));
        const std::uint16_t port = freePort();
        ASSERT_TRUE(server.start(
            {"/usr/bin/python3", serverScript("http_nginx.py"), std::to_string(port), dir, root},
            port, dir + ".out"));
        sites.push_back("http://127.0.0.1:" + std::to_string(port) + "/site/");
        logs.push_back(dir + "/access.log");
    }

    const auto plain = grabAtOnce(work.make("plain") + "/", kSlots, sites, false);
    ASSERT_EQ(plain.size(), 2u);
    std::vector<std::size_t> before;
    for (const std::string& log : logs) {
        before.push_back(readWholeFile(log).valueOr({}).size());
    }
    const auto kept = grabAtOnce(work.make("kept") + "/", kSlots, sites, true);
    ASSERT_EQ(kept.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(sameTree(kept[i], plain[i])) << kept[i] << " and " << plain[i] << " differ";
        const std::string log = readWholeFile(logs[i]).valueOr({}).substr(before[i]);
        const auto requests = std::count(log.begin(), log.end(), '\n');
        EXPECT_GT(requests, kPages);
        EXPECT_LE(connectionsIn(log).size(), std::size_t{kSlots} * 3)
            << requests << " requests to " << sites[i];
    }
}

TEST(KeptHostGrabTest, InterimAnswersAndARedirectBodyLeaveTheConnectionKept) {
    TempDirectory work;
    const std::uint16_t port = freePort();
    const std::string log = work.path() + "/requests.log";
    ServerProcess server;
    ASSERT_TRUE(server.start(
        {"/usr/bin/python3", serverScript("http_interim.py"), std::to_string(port), log}, port,
        work.path() + "/server.out"));
    const std::string site = "http://127.0.0.1:" + std::to_string(port) + "/";

    std::map<bool, std::string> dirs;
    std::map<bool, std::vector<std::string>> paths;
    std::map<bool, std::set<std::string>> connections;
    for (const bool keepAlive : {false, true}) {
        std::filesystem::remove(log);
        const auto grabbed =
            grabAtOnce(work.make(keepAlive ? "kept" : "plain") + "/", 1, {site}, keepAlive);
        ASSERT_EQ(grabbed.size(), 1u);
        dirs[keepAlive] = grabbed[0];
        std::istringstream lines(readWholeFile(log).valueOr({}));
        for (std::string connection, path; lines >> connection >> path;) {
            connections[keepAlive].insert(connection);
            paths[keepAlive].push_back(path);
        }
    }
    EXPECT_EQ(readWholeFile(dirs[true] + "target.html").valueOr({}), "<p>the target</p>");
    EXPECT_EQ(readWholeFile(dirs[true] + "second.html").valueOr({}), "<p>the second page</p>");
    EXPECT_TRUE(sameTree(dirs[true], dirs[false]));
    EXPECT_THAT(paths[true], ::testing::ElementsAre("/index.html", "/robots.txt", "/moved",
                                                    "/target.html", "/second.html"));
    EXPECT_EQ(paths[false], paths[true]);
    EXPECT_EQ(connections[true].size(), 1u);
    EXPECT_EQ(connections[false].size(), 5u);
}

}  // namespace
}  // namespace quillharbor::test
