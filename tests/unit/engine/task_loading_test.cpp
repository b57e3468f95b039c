#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/engine_test_fixture.h"
#include "platform/files.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using enum ObjectState;

struct Stored {
    const char* url;
    ObjectState state = Queued;
    const char* localName = "";
    std::int64_t received = 0;
    std::int32_t status = 0;
};

// Engines that write real task files over one program directory: restart() ends the engine and
// makes the next one, which loads what the last one left, as the program's next run would.
class TaskLoadingTest : public EngineTest {
protected:
    TaskLoadingTest() { m_realTaskFiles = true; }
    void SetUp() override { writeSettings("[General]\nMaxHTTPConns=1\nMaxFTPConns=0\nPause=0\n"); }
    void restart() {
        m_engine.reset();
        m_view = RecordingView{};
        start().LoadAllTasks();
    }
    // A task file as an earlier run left it; the task saves into root() + name + "/".
    void store(const std::string& name, TaskState taskState, const std::vector<Stored>& objects) {
        auto task = NewTask(name, "http://h/", root() + name + "/", 0, "", 0, 0, "", "");
        task->State = taskState;
        ASSERT_TRUE(createDirectories(task->Dir).ok());
        for (const Stored& stored : objects) {
            TDnObj& object = *NewDnObj(*task, stored.url, 1);
            object.State = stored.state;
            object.LocalName = stored.localName;
            object.Received = stored.received;
            object.Status = stored.status;
        }
        ASSERT_TRUE(WriteTaskFile(*task, m_dir.path()).ok());
    }
    TTask& task(const std::string& name) { return *state().TaskList.TaskFind(name); }
    TDnObj& object(const std::string& name, const std::string& url) {
        return *task(name).Objects.TaskFindObj(url);
    }
};

// Loading changes no file: a failed object starts again from byte 0 when it is started, a
// page saved but never scanned is queued again, a resumable one keeps its bytes. Only a
// retrieved copy in a task earlier by name settles an object; a file that cannot be read is
// reported, left alone, and its name stays taken.
TEST_F(TaskLoadingTest, EachStoredStateComesBackToWork) {
    const struct {
        Stored stored;
        const char* file;  // what its saved file holds, nullptr: none
        ObjectState loaded;
        GlobalList list;
        std::int64_t received;
    } rows[] = {
        {{"http://h/a", Retrieved, "a.html"}, nullptr, Retrieved, GlobalList::Seen, 0},
        {{"http://h/b", Excluded}, nullptr, Excluded, GlobalList::Seen, 0},
        {{"http://h/c", Done, "c.gif"}, nullptr, Done, GlobalList::Seen, 0},
        {{"http://h/d", Retrieving, "d.zip", 5000}, nullptr, Queued, GlobalList::Queue, 5000},
        {{"http://h/e", Incomplete, "e.zip", 10}, nullptr, Queued, GlobalList::Queue, 10},
        {{"http://h/f", ProtocolError, "f.html", 300, 500}, "half", Queued, GlobalList::Queue, 0},
        {{"http://h/g", ProtocolError, "g.html", 20, 404}, "", Queued, GlobalList::Queue, 0},
        {{"http://h/h", Failed, "h.html", 0, 404}, "Not Found", Failed, GlobalList::Seen, 0},
        {{"http://h/i", FtpError, "", 7, 550}, nullptr, Queued, GlobalList::Queue, 0},
        {{"http://h/j"}, nullptr, Queued, GlobalList::Queue, 0},
        // A redirect loop waits for the user's retry.
        {{"http://h/k", ProtocolError, "", 0, 802}, nullptr, ProtocolError, GlobalList::Seen, 0},
        {{"http://h/l", Retrieved, "l.html"}, "<a href=x>", Queued, GlobalList::Queue, 0},
    };
    std::vector<Stored> stored;
    for (const auto& row : rows) {
        stored.push_back(row.stored);
        if (row.file != nullptr) {
            ASSERT_TRUE(createDirectories(root() + "site/").ok());
            ASSERT_TRUE(
                replaceFileAtomically(root() + "site/" + row.stored.localName, row.file).ok());
        }
    }
    store("site", TaskState::Running, stored);
    // "site-2.tsf" sorts before "site.tsf", but the task "site" before "site-2": the tasks are
    // put back to work in name order.
    store("site-2", TaskState::Stopped, {{"http://h/c", RetrievedByOther}, {"http://h/f"}});
    store("done", TaskState::Running, {{"http://h/a", Retrieved, "a.html"}, {"http://h/b", Done}});
    store("later", TaskState::Waiting, {{"http://h/c"}});
    store("broken", TaskState::Stopped, {{"http://h/a"}, {"http://h/b"}});
    const std::string broken = m_dir / "broken.tsf";
    const std::string cut = readWholeFile(broken).valueOr("").substr(0, 60);
    ASSERT_TRUE(replaceFileAtomically(broken, cut).ok());
    restart();
    EXPECT_EQ(task("done").State, TaskState::Finished);
    EXPECT_EQ(task("later").State, TaskState::Stopped) << "loaded tasks never start themselves";
    EXPECT_EQ(task("site").State, TaskState::Stopped);
    EXPECT_EQ(task("site").Total, 12);
    EXPECT_EQ(task("site").Queued, 7);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored.url);
        const TDnObj& loaded = object("site", row.stored.url);
        EXPECT_EQ(loaded.State, row.loaded);
        EXPECT_EQ(loaded.InList, row.list);
        EXPECT_EQ(loaded.Received, row.received);
        if (row.file != nullptr) {
            EXPECT_EQ(readWholeFile(root() + "site/" + row.stored.localName).valueOr("-"),
                      row.file);
        }
    }
    EXPECT_EQ(objects(task("site-2")) + " " + std::to_string(task("site-2").Queued),
              "http://h/c Copied Seen 1, http://h/f Queued Queue 1 1");
    EXPECT_EQ(object("site-2", "http://h/c").Location, root() + "site/c.gif");
    EXPECT_EQ(state().Queue.head()->Task->Name, "later");
    EXPECT_EQ(state().SeenList.head()->Task->Name, "done") << "the seen list is in URL order";
    EXPECT_THAT(m_view.calls, ElementsAre("AddTaskRow done", "AddTaskRow later", "AddTaskRow site",
                                          "AddTaskRow site-2", "UpdateCommands"));
    EXPECT_THAT(m_view.notifications, ElementsAre(HasSubstr(broken)));
    EXPECT_FALSE(m_loop.processPending()) << "loading posts nothing, no TaskEnded either";
    EXPECT_EQ(create("broken"), nullptr);
    EXPECT_EQ(readWholeFile(broken).valueOr(""), cut);
    tick();
    EXPECT_EQ(http(0).Obj(), nullptr);

    writeSettings("[General]\nAlwaysRetrieve=1\n");
    restart();
    EXPECT_EQ(objects(task("site-2")) + " " + std::to_string(task("site-2").Queued),
              "http://h/c Queued Queue 1, http://h/f Queued Queue 1 2");
}

// Running tasks' files are written on request, every task's at close; a file that cannot be
// written is reported while the others are written all the same.
TEST_F(TaskLoadingTest, TaskFilesAreWrittenOnRequestAndAtClose) {
    start();
    create("running")->Extensions = " .x ";
    post(EngineMessage::SaveRunningTasks);
    pump();
    restart();
    EXPECT_EQ(task("running").Extensions, " .x ");
    ASSERT_TRUE(deleteFile(m_dir / "running.tsf").ok());
    ASSERT_TRUE(createDirectories(m_dir / "running.tsf").ok());
    create("spare")->Extensions = " .y ";
    EXPECT_FALSE(engine().SaveAtClose());
    EXPECT_THAT(m_view.notifications, ElementsAre(HasSubstr("running.tsf")));
    EXPECT_THAT(readWholeFile(m_dir / "spare.tsf").valueOr(""), HasSubstr(" .y "));
}

// A task file stores a link that waited for its host's robots.txt like any queued link, and
// not the rules: after loading, such links wait for the rules at their first pick, asked for by
// their running task, and the rules exclude what they forbid. The starting document and objects
// that had started are not held.
TEST_F(TaskLoadingTest, LoadedQueuedLinksWaitForTheirHostsRulesAtTheirFirstPick) {
    m_realIntake = true;
    writeSettings("[General]\nMaxHTTPConns=3\nMaxFTPConns=0\nPause=0\n");
    store("site", TaskState::Running,
          {{"http://h/", Retrieving},
           {"http://h/open.html"},
           {"http://h/private/secret.html"},
           {"http://h/cut.zip", Incomplete, "", 10}});
    restart();
    TDnObj& open = object("site", "http://h/open.html");
    TDnObj& secret = object("site", "http://h/private/secret.html");
    EXPECT_FALSE(object("site", "http://h/").RobotsUnchecked);
    EXPECT_FALSE(object("site", "http://h/cut.zip").RobotsUnchecked);
    EXPECT_TRUE(open.RobotsUnchecked && secret.RobotsUnchecked);

    task("site").State = TaskState::Running;
    tick();
    EXPECT_EQ(serving(http(0)) + ", " + serving(http(1)) + ", " + serving(http(2)),
              "http://h/, http://h/cut.zip, http://h/robots.txt")
        << "asked for by the running task";
    EXPECT_EQ(open.InList, GlobalList::Wait);
    EXPECT_EQ(secret.InList, GlobalList::Wait);
    answerRobots(*http(2).Obj(), "User-agent: *\nDisallow: /private/\n");
    EXPECT_EQ(open.InList, GlobalList::Queue);
    EXPECT_EQ(secret.State, ObjectState::Excluded);
    EXPECT_FALSE(open.RobotsUnchecked || secret.RobotsUnchecked);
}

}  // namespace
}  // namespace quillharbor::test
