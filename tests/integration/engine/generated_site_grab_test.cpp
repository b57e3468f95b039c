// Generated sites grabbed whole from servers with a twist: nginx on the IPv6 loopback only,
// reached through the bracketed literal [::1]; and a server that closes kept connections at
// random, after an answer or instead of answering the next request.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/grab_checks.h"
#include "engine/site_grab.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

TEST(GeneratedSiteGrabTest, ASiteOnTheIPv6LoopbackIsGrabbedWhole) {
    ServedSite served;
    ASSERT_TRUE(served.serve(24, "http_nginx.py",
                             {served.work.make("nginx"), served.root, "--listen", "[::1]"}, true));
    const std::string site = "http://[::1]:" + std::to_string(served.port) + "/site/";
    const std::string program = served.work.make("program") + "/";
    std::string dir;
    {
        SiteGrab grab(program, program + "downloads/", 4);
        TTask* task = grab.createTask("six", site + "index.html", site);
        ASSERT_NE(task, nullptr);
        ASSERT_TRUE(grab.run(3000));
        EXPECT_EQ(task->State, TaskState::Finished);
        ASSERT_TRUE(grab.close());
        dir = task->Dir;
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "Starting Document.html"));
    for (const auto& [file, path] : Manifest(served.root).files) {
        EXPECT_TRUE(std::filesystem::is_regular_file(dir + file)) << file;
    }
    // The task file keeps the URLs as they were written, brackets and all.
    const auto read = ReadTaskFile(taskFilePath(program, "six"), GlobalOptions{});
    ASSERT_TRUE(read.ok());
    for (const TDnObj& object : read.value()->Objects) {
        EXPECT_TRUE(object.URL.starts_with("http://[::1]:" + std::to_string(served.port) + "/"))
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

TEST(GeneratedSiteGrabTest, AServerClosingKeptConnectionsAtRandomLosesNothing) {
    ServedSite served;
    ASSERT_TRUE(served.serve(120, "http_keepalive_flaky.py", {served.root, "22"}));
    const std::string site = "http://127.0.0.1:" + std::to_string(served.port) + "/site/";
    const std::string program = served.work.make("program") + "/";
    SiteGrab grab(program, program + "downloads/", 4);
    grab.engine().globalOptions().KeepAlive = true;
    grab.engine().globalOptions().FastDispatch = true;
    grab.engine().ApplySettings();
    TTask* task = grab.createTask("flaky", site + "index.html", site);
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab.run(15000));
    EXPECT_EQ(task->State, TaskState::Finished);

    // Every file of the site is saved, the pictures byte for byte; only the missing pages failed,
    // each with its 404, and no object went back into the queue.
    const Manifest manifest(served.root);
    for (const auto& [name, path] : manifest.files) {
        const Result<std::string> saved = readWholeFile(task->Dir + name);
        ASSERT_TRUE(saved.ok()) << name;
        if (name.ends_with(".png")) {
            EXPECT_EQ(saved.value(), readWholeFile(served.root + path).valueOr({})) << name;
        }
    }
    EXPECT_GT(manifest.files.size(), 120u);
    for (const TDnObj& object : task->Objects) {
        EXPECT_EQ(object.Retried, 0) << object.URL;
        EXPECT_TRUE(object.State == ObjectState::Done || object.State == ObjectState::Excluded ||
                    object.State == ObjectState::RobotsRequest ||
                    (object.State == ObjectState::ProtocolError && object.Status == 404))
            << object.URL << " ended in state " << static_cast<int>(object.State);
    }
    // The server did drop connections both ways, and chunked bodies came.
    const std::string requests = readWholeFile(served.work.path() + "/requests.log").valueOr({});
    EXPECT_THAT(requests, HasSubstr(" dropped\n"));
    EXPECT_THAT(requests, HasSubstr(" closed\n"));
    EXPECT_TRUE(grab.close());
}

}  // namespace
}  // namespace quillharbor::test
