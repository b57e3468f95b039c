#include <gtest/gtest.h>

#include "engine/engine_test_fixture.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

// A task file stores a link that waited for its host's robots.txt like any queued link, and
// not the rules: after loading, such links wait for the rules at their first pick, asked for by
// their running task, and the rules exclude what they forbid. The starting document and objects
// that had started are not held.
TEST_F(EngineTest, LoadedQueuedLinksWaitForTheirHostsRulesAtTheirFirstPick) {
    m_realTaskFiles = true;
    m_realIntake = true;
    writeSettings("[General]\nMaxHTTPConns=3\nMaxFTPConns=0\nPause=0\n");
    auto stored = NewTask("site", "http://h/", root() + "site/", 0, "", 0, 0, "", "");
    ASSERT_TRUE(createDirectories(stored->Dir).ok());
    NewDnObj(*stored, "http://h/", 1)->State = ObjectState::Retrieving;
    NewDnObj(*stored, "http://h/open.html", 2);
    NewDnObj(*stored, "http://h/private/secret.html", 2);
    TDnObj& started = *NewDnObj(*stored, "http://h/cut.zip", 2);
    started.State = ObjectState::Incomplete;
    started.Received = 10;
    ASSERT_TRUE(WriteTaskFile(*stored, m_dir.path()).ok());
    start().LoadAllTasks();
    TTask& task = *state().TaskList.TaskFind("site");
    TDnObj& open = *find(task, "http://h/open.html");
    TDnObj& secret = *find(task, "http://h/private/secret.html");
    EXPECT_FALSE(find(task, "http://h/")->RobotsUnchecked);
    EXPECT_FALSE(find(task, "http://h/cut.zip")->RobotsUnchecked);
    EXPECT_TRUE(open.RobotsUnchecked && secret.RobotsUnchecked);

    task.State = TaskState::Running;
    tick();
    EXPECT_EQ(serving(http(0)), "http://h/");
    EXPECT_EQ(serving(http(1)), "http://h/cut.zip");
    EXPECT_EQ(serving(http(2)), "http://h/robots.txt") << "asked for by the running task";
    EXPECT_EQ(open.InList, GlobalList::Wait);
    EXPECT_EQ(secret.InList, GlobalList::Wait);
    TDnObj* request = find(task, "http://h/robots.txt");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->State, ObjectState::RobotsRequest);

    answerRobots(*request, "User-agent: *\nDisallow: /private/\n");
    EXPECT_EQ(open.InList, GlobalList::Queue);
    EXPECT_EQ(secret.State, ObjectState::Excluded);
    EXPECT_FALSE(open.RobotsUnchecked || secret.RobotsUnchecked);
}

}  // namespace
}  // namespace quillharbor::test
