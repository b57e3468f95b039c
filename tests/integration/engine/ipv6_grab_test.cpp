// A small generated site served by nginx on the IPv6 loopback only, grabbed whole through URLs
// with the bracketed literal [::1].

#include "engine/site_grab.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "net/http_servers.h"
#include "platform/files.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPages = 24;
constexpr int kSteps = 3000;  // 20 ms steps: one minute at most

TEST(Ipv6GrabTest, ASiteOnTheIPv6LoopbackIsGrabbedWhole) {
    TempDirectory work;
    const std::string root = work.make("www");
    ASSERT_TRUE(generateSite(root, kPages));
    const std::uint16_t port = freePort();
    ServerProcess nginx;
    const std::string nginxDir = work.make("nginx");
    ASSERT_TRUE(nginx.start({"/usr/bin/python3", serverScript("http_nginx.py"),
                             std::to_string(port), nginxDir, root, "--listen", "[::1]"},
                            port, work.path() + "/nginx.out", true));
    const std::string site = "http://[::1]:" + std::to_string(port) + "/site/";

    const std::string program = work.make("program") + "/";
    std::string dir;
    {
        SiteGrab grab(program, program + "downloads/", 4);
        TTask* task = grab.createTask("six", site + "index.html", site);
        ASSERT_NE(task, nullptr);
        ASSERT_TRUE(grab.run(kSteps));
        EXPECT_EQ(task->State, TaskState::Finished);
        ASSERT_TRUE(grab.close());
        dir = task->Dir;
    }

    std::set<std::string> expected = {"Starting Document.html"};
    std::ifstream manifest(root + "/manifest.txt");
    std::string kind, name, path;
    while (manifest >> kind >> name) {
        if (kind == "file") {
            manifest >> path;
            expected.insert(name);
        }
    }
    for (const std::string& file : expected) {
        EXPECT_TRUE(fs::is_regular_file(dir + file)) << file;
    }
    // The task file keeps the URLs as they were written, brackets and all.
    const auto read = ReadTaskFile(taskFilePath(program, "six"), GlobalOptions{});
    ASSERT_TRUE(read.ok());
    for (const TDnObj& object : read.value()->Objects) {
        EXPECT_TRUE(object.URL.starts_with("http://[::1]:" + std::to_string(port) + "/"))
            << object.URL;
    }
    // The start page links its saved neighbours relatively; only the disallowed page keeps its
    // absolute URL, literal and all.
    const std::string start = readWholeFile(dir + "Starting Document.html").valueOr({});
    EXPECT_NE(start.find("\"p0.html\""), std::string::npos);
    for (std::size_t at = start.find(site); at != std::string::npos;
         at = start.find(site, at + 1)) {
        EXPECT_EQ(start.compare(at + site.size(), 8, "private/"), 0) << start;
    }
}

}  // namespace
}  // namespace quillharbor::test
