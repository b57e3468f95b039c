// A generated site grabbed with kept connections from a server that closes them at random:
// after an answer, or instead of answering the next request. Nothing may be lost or failed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/site_grab.h"
#include "net/http_servers.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

constexpr int kPages = 120;
constexpr std::uint16_t kSlots = 4;
constexpr int kSteps = 15000;  // 20 ms steps: five minutes at most

TEST(KeepAliveGrabTest, AServerClosingKeptConnectionsAtRandomLosesNothing) {
    TempDirectory work;
    const std::string root = work.make("www");
    ASSERT_TRUE(generateSite(root, kPages));
    const std::uint16_t port = freePort();
    ServerProcess server;
    ASSERT_TRUE(server.start({"/usr/bin/python3", serverScript("http_keepalive_flaky.py"),
                              std::to_string(port), root, "22"},
                             port, work.path() + "/server.out"));
    const std::string site = "http://127.0.0.1:" + std::to_string(port) + "/site/";

    const std::string program = work.make("program") + "/";
    SiteGrab grab(program, program + "downloads/", kSlots);
    grab.engine().globalOptions().KeepAlive = true;
    grab.engine().globalOptions().FastDispatch = true;
    grab.engine().ApplySettings();
    TTask* task = grab.createTask("flaky", site + "index.html", site);
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab.run(kSteps));
    EXPECT_EQ(task->State, TaskState::Finished);

    // Every file of the site is saved, the pictures byte for byte; only the missing pages failed,
    // each with its 404, and no object went back into the queue.
    std::ifstream manifest(root + "/manifest.txt");
    std::string kind, name, path;
    int files = 0;
    while (manifest >> kind >> name) {
        if (kind != "file") {
            continue;
        }
        manifest >> path;
        ++files;
        const Result<std::string> saved = readWholeFile(task->Dir + name);
        ASSERT_TRUE(saved.ok()) << name;
        if (name.ends_with(".png")) {
            EXPECT_EQ(saved.value(), readWholeFile(root + path).valueOr({})) << name;
        }
    }
    EXPECT_GT(files, kPages);
    for (const TDnObj& object : task->Objects) {
        EXPECT_EQ(object.Retried, 0) << object.URL;
        EXPECT_TRUE(object.State == ObjectState::Done || object.State == ObjectState::Excluded ||
                    object.State == ObjectState::RobotsRequest ||
                    (object.State == ObjectState::ProtocolError && object.Status == 404))
            << object.URL << " ended in state " << static_cast<int>(object.State);
    }

    // The server did drop connections both ways, and chunked bodies came.
    const std::string requests = readWholeFile(work.path() + "/requests.log").valueOr({});
    EXPECT_THAT(requests, HasSubstr(" dropped\n"));
    EXPECT_THAT(requests, HasSubstr(" closed\n"));
    EXPECT_TRUE(grab.close());
}

}  // namespace
}  // namespace quillharbor::test
