// A grab of a small site whose server asks for a wait (429 with Retry-After) and counts the
// connections open at once, with two connections per host allowed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/site_grab.h"
#include "net/http_servers.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

constexpr int kSteps = 1500;  // 20 ms steps: half a minute at most

struct Answer {
    std::string path;
    int status = 0;
    double at = 0;  // seconds since the server started
};

class PoliteGrabTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        port = freePort();
        ASSERT_TRUE(server.start(
            {"/usr/bin/python3", serverScript("http_polite.py"), std::to_string(port), log()}, port,
            work.path() + "/polite.out"));
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    std::string log() const { return work.path() + "/answers.log"; }
    std::vector<Answer> answers() const {
        std::vector<Answer> all;
        std::istringstream lines(readWholeFile(log()).valueOr({}));
        Answer answer;
        while (lines >> answer.path >> answer.status >> answer.at) {
            all.push_back(answer);
        }
        return all;
    }

    TempDirectory work;
    std::uint16_t port = 0;
    ServerProcess server;
};

TEST_P(PoliteGrabTest, APageAskedToWaitArrivesAfterTheWaitWithinTheCapPerHost) {
    const std::string program = work.make("program") + "/";
    SiteGrab grab(program, program + "downloads/", 4);
    grab.engine().globalOptions().MaxConnsPerHost = 2;
    grab.engine().globalOptions().FastDispatch = GetParam();
    TTask* task = grab.createTask("polite", url("/index.html"), url("/"));
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab.run(kSteps));

    EXPECT_EQ(task->State, TaskState::Finished);
    for (const TDnObj& object : task->Objects) {
        if (object.URL.ends_with(".html")) {
            EXPECT_EQ(object.State, ObjectState::Done) << object.URL;
        }
    }
    EXPECT_EQ(readWholeFile(task->Dir + "p1.html").valueOr({}), "page /p1.html");
    EXPECT_THAT(grab.view().notifications, ::testing::ElementsAre("Task polite is finished."));

    double refusedAt = -1;
    double fetchedAt = -1;
    for (const Answer& answer : answers()) {
        if (answer.path == "/p1.html") {
            (answer.status == 429 ? refusedAt : fetchedAt) = answer.at;
        }
    }
    ASSERT_GE(refusedAt, 0);
    // The answer is logged 0.3 s after the request came; the next request waited 2 s for its
    // own 0.3 s answer.
    EXPECT_GE(fetchedAt - refusedAt, 2.0);
    EXPECT_EQ(readWholeFile(log() + ".max").valueOr({}), "2");
    EXPECT_TRUE(grab.close());
}

INSTANTIATE_TEST_SUITE_P(BothModes, PoliteGrabTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fast" : "Tick"; });

}  // namespace
}  // namespace quillharbor::test
