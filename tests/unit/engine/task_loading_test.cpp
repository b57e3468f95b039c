#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/scheduler_test_fixture.h"
#include "platform/files.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct StoredObject {
    StoredObject(std::string url, ObjectState state = ObjectState::Queued,
                 std::string localName = "", std::int64_t received = 0, std::int32_t status = 0)
        : url(std::move(url)),
          state(state),
          localName(std::move(localName)),
          received(received),
          status(status) {}

    std::string url;
    ObjectState state;
    std::string localName;
    std::int64_t received;
    std::int32_t status;
};

// Engines that write real task files over one program directory: restart() ends the engine and
// makes the next one, which loads what the last one left, as the program's next run would.
class TaskLoadingTest : public SchedulerTest {
protected:
    void startReal(const std::string& general = "MaxHTTPConns=1\nMaxFTPConns=0\nPause=0\n") {
        writeSettings("[General]\n" + general);
        makeEngine();
    }
    void restart() {
        m_engine.reset();
        m_view.selection.clear();
        m_view.calls.clear();
        m_view.notifications.clear();
        makeEngine();
        engine().LoadAllTasks();
    }
    // A task file as an earlier run left it; the task saves into root() + name + "/".
    void store(const std::string& name, TaskState taskState,
               const std::vector<StoredObject>& objects) {
        auto task = NewTask(name, "http://h/", root() + name + "/", 0, "", 0, 0, "", "");
        task->State = taskState;
        ASSERT_TRUE(createDirectories(task->Dir).ok());
        for (const StoredObject& stored : objects) {
            TDnObj& object = *NewDnObj(*task, stored.url, 1);
            object.State = stored.state;
            object.LocalName = stored.localName;
            object.Received = stored.received;
            object.Status = stored.status;
        }
        ASSERT_TRUE(WriteTaskFile(*task, m_dir.path()).ok());
    }
    void writeFile(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(replaceFileAtomically(path, bytes).ok());
    }
    template <class Record>
    static Record& found(Record* record, const std::string& what) {
        if (record == nullptr) {
            throw std::runtime_error("not found: " + what);
        }
        return *record;
    }
    TTask& task(const std::string& name) { return found(state().TaskList.TaskFind(name), name); }
    TDnObj& object(const std::string& taskName, const std::string& url) {
        return found(task(taskName).Objects.TaskFindObj(url), url);
    }
    // "task URL" of each object of the queue or the seen list, in its order.
    static std::vector<std::string> urls(const TDnObj* head) {
        std::vector<std::string> result;
        for (const TDnObj* at = head; at != nullptr; at = at->QueueNext) {
            result.push_back(at->Task->Name + " " + at->URL);
        }
        return result;
    }
    // The task as its file holds it now.
    std::unique_ptr<TTask> fromFile(const std::string& name) {
        Result<std::unique_ptr<TTask>> read =
            ReadTaskFile(m_dir / (name + ".tsf"), engine().globalOptions());
        if (!read) {
            throw std::runtime_error(read.error().text);
        }
        return std::move(read).value();
    }

private:
    void makeEngine() {
        // taskFiles left out: the engine's own writer.
        m_engine = std::make_unique<Engine>(EngineServices{.loop = m_loop,
                                                           .view = m_view,
                                                           .drop = m_drop,
                                                           .dialUp = m_dialUp,
                                                           .intake = m_intake,
                                                           .rewriter = m_rewriter,
                                                           .slots = &m_slots},
                                            m_dir.path());
    }
};

TEST_F(TaskLoadingTest, EachStoredStateComesBackToWork) {
    const std::string dir = root() + "site/";
    store("site", TaskState::Running,
          {{"http://h/a", ObjectState::Retrieved, "a.html"},
           {"http://h/b", ObjectState::Excluded},
           {"http://h/c", ObjectState::Done, "c.gif"},
           {"http://h/d", ObjectState::Retrieving, "d.zip", 5000},
           {"http://h/e", ObjectState::Incomplete, "e.zip", 10},
           {"http://h/f", ObjectState::ProtocolError, "f.html", 300, 500},
           {"http://h/g", ObjectState::ProtocolError, "g.html", 20, 404},
           {"http://h/h", ObjectState::Failed, "h.html", 0, 404},
           {"http://h/i", ObjectState::FtpError, "", 7, 550},
           {"http://h/j", ObjectState::Queued},
           {"http://h/k", ObjectState::ProtocolError, "", 0, 802},
           {"http://h/l", ObjectState::Retrieved, "l.html"}});
    writeFile(dir + "f.html", "half a page");
    writeFile(dir + "l.html", "<a href=never-scanned>");
    writeFile(dir + "g.html", "");
    writeFile(dir + "h.html", "<p>Not Found</p>");
    store("done", TaskState::Running,
          {{"http://h/a", ObjectState::Retrieved, "a.html"}, {"http://h/b", ObjectState::Done}});
    store("later", TaskState::Waiting, {{"http://h/c"}});
    startReal();
    engine().LoadAllTasks();
    EXPECT_EQ(task("done").State, TaskState::Finished);
    EXPECT_EQ(task("done").Queued, 0);
    EXPECT_EQ(task("later").State, TaskState::Stopped) << "loaded tasks never start themselves";

    TTask& site = task("site");
    EXPECT_EQ(site.State, TaskState::Stopped) << "saved running, never started by loading";
    EXPECT_EQ(site.Total, 12);
    EXPECT_EQ(site.Queued, 7);
    EXPECT_THAT(
        urls(state().SeenList.head()),
        ElementsAre("done http://h/a", "site http://h/a", "done http://h/b", "site http://h/b",
                    "site http://h/c", "site http://h/h", "site http://h/k"))
        << "a redirect loop waits for the user's retry";
    EXPECT_THAT(
        urls(state().Queue.head()),
        ElementsAre("later http://h/c", "site http://h/d", "site http://h/e", "site http://h/f",
                    "site http://h/g", "site http://h/i", "site http://h/j", "site http://h/l"));
    for (const char* url : {"http://h/d", "http://h/e", "http://h/f", "http://h/g", "http://h/i"}) {
        EXPECT_EQ(object("site", url).State, ObjectState::Queued) << url;
    }
    EXPECT_EQ(object("site", "http://h/d").Received, 5000) << "resumes";
    EXPECT_EQ(object("site", "http://h/e").Received, 10);
    EXPECT_EQ(readWholeFile(dir + "f.html").valueOr(""), "half a page")
        << "replaced only when the object starts again";
    EXPECT_EQ(object("site", "http://h/f").Received, 0);
    EXPECT_EQ(object("site", "http://h/g").Received, 0);
    EXPECT_EQ(object("site", "http://h/h").State, ObjectState::Failed) << "its 404 page is kept";
    EXPECT_TRUE(fileExists(dir + "h.html"));
    EXPECT_EQ(object("site", "http://h/i").Received, 0);
    EXPECT_EQ(object("site", "http://h/l").State, ObjectState::Queued)
        << "its links were never taken";

    EXPECT_THAT(m_view.calls, ElementsAre("AddTaskRow done", "AddTaskRow later", "AddTaskRow site",
                                          "UpdateCommands"));
    EXPECT_THAT(m_view.notifications, IsEmpty());
    EXPECT_FALSE(m_loop.processPending()) << "loading posts nothing, no TaskEnded either";
    tick();
    EXPECT_EQ(http(0).Obj(), nullptr);
}

TEST_F(TaskLoadingTest, OnlyARetrievedCopyInATaskEarlierByNameSettlesAnObject) {
    // "site-2.tsf" sorts before "site.tsf", but the task "site" before "site-2": the tasks are
    // put back to work in name order.
    store("site-2", TaskState::Stopped,
          {{"http://h/bad.gif"}, {"http://h/pic.gif", ObjectState::RetrievedByOther}});
    store("site", TaskState::Stopped,
          {{"http://h/bad.gif", ObjectState::ProtocolError, "", 0, 500},
           {"http://h/pic.gif", ObjectState::Retrieved, "pic.gif"}});
    startReal();
    engine().LoadAllTasks();

    TDnObj& copy = object("site-2", "http://h/pic.gif");
    EXPECT_EQ(copy.State, ObjectState::RetrievedByOther);
    EXPECT_EQ(copy.Location, root() + "site/pic.gif");
    EXPECT_EQ(copy.InList, GlobalList::Seen);
    EXPECT_EQ(object("site-2", "http://h/bad.gif").InList, GlobalList::Queue)
        << "a failed object is never a copy";
    EXPECT_EQ(task("site-2").Queued, 1);

    writeSettings("[General]\nAlwaysRetrieve=1\n");
    restart();
    EXPECT_EQ(object("site-2", "http://h/pic.gif").State, ObjectState::Queued);
    EXPECT_EQ(task("site-2").Queued, 2);
}

TEST_F(TaskLoadingTest, ARejectedFileIsReportedLeftAloneAndItsNameStaysTaken) {
    store("good", TaskState::Stopped, {{"http://h/a"}});
    store("broken", TaskState::Stopped, {{"http://h/a"}, {"http://h/b"}});
    const std::string path = m_dir / "broken.tsf";
    Result<std::string> whole = readWholeFile(path);
    ASSERT_TRUE(whole.ok());
    const std::string cut = whole.value().substr(0, whole.value().size() - 20);
    writeFile(path, cut);
    startReal();
    engine().LoadAllTasks();

    EXPECT_EQ(state().TaskList.size(), 1u);
    EXPECT_NE(state().TaskList.TaskFind("good"), nullptr);
    ASSERT_EQ(m_view.notifications.size(), 1u);
    EXPECT_THAT(m_view.notifications[0], HasSubstr(path));
    EXPECT_EQ(readWholeFile(path).valueOr(""), cut);

    EXPECT_EQ(create("broken"), nullptr);
    EXPECT_THAT(m_view.notifications.back(), HasSubstr("already exists"));
    EXPECT_EQ(readWholeFile(path).valueOr(""), cut);
}

TEST_F(TaskLoadingTest, LineBreaksAndBackslashesInValuesSurviveARestart) {
    startReal();
    TTask& created = *create("t");
    created.BoundaryPrefix = "http://h/a\r\nb\\";
    TDnObj& odd = queue(created, "http://h/x\ny");
    odd.Referrer = "\r\n";
    odd.LocalName = "we\\ird\rname";
    ASSERT_TRUE(engine().SaveAtClose());
    restart();

    EXPECT_THAT(m_view.notifications, IsEmpty());
    EXPECT_EQ(task("t").BoundaryPrefix, "http://h/a\r\nb\\");
    TDnObj& loaded = object("t", "http://h/x\ny");
    EXPECT_EQ(loaded.Referrer, "\r\n");
    EXPECT_EQ(loaded.LocalName, "we\\ird\rname");
}

TEST_F(TaskLoadingTest, TaskFilesFollowTheTaskFromCreationToRemoval) {
    startReal();
    TTask& running = *create("running");
    TTask& stopped = *create("stopped");
    stopped.State = TaskState::Stopped;
    EXPECT_EQ(fromFile("running")->URL, "http://h/docs/") << "written at creation";

    const std::string created = stopped.Extensions;
    running.Extensions = " .r ";
    stopped.Extensions = " .s ";
    post(EngineMessage::SaveRunningTasks);
    pump();
    EXPECT_EQ(fromFile("running")->Extensions, " .r ");
    EXPECT_EQ(fromFile("stopped")->Extensions, created);

    EXPECT_TRUE(engine().SaveAtClose());
    EXPECT_EQ(fromFile("stopped")->Extensions, " .s ");
    EXPECT_TRUE(fileExists(m_dir / "Quillharbor.ini"));

    m_view.selection = {&stopped};
    engine().RemoveSelectedTasks();
    EXPECT_FALSE(fileExists(m_dir / "stopped.tsf"));
    EXPECT_TRUE(fileExists(m_dir / "running.tsf"));

    // A file that cannot be written is reported; the others are written all the same.
    ASSERT_TRUE(deleteFile(m_dir / "running.tsf").ok());
    ASSERT_TRUE(createDirectories(m_dir / "running.tsf").ok());
    create("other");
    const std::size_t before = m_view.notifications.size();
    EXPECT_FALSE(engine().SaveAtClose());
    ASSERT_EQ(m_view.notifications.size(), before + 1);
    EXPECT_THAT(m_view.notifications.back(), HasSubstr("running.tsf"));
    EXPECT_EQ(fromFile("other")->Name, "other");
}

TEST_F(TaskLoadingTest, ARestartGoesOnWithTheSameQueue) {
    startReal();
    TTask& site = *create("site");
    queue(site, "http://h/docs/a.html");
    queue(site, "http://h/docs/b.html");
    tick();
    http(0).complete(ObjectState::Retrieved, "index.html");
    tick();
    TDnObj& partial = *http(0).Obj();
    ASSERT_EQ(partial.URL, "http://h/docs/a.html");
    partial.LocalName = "a.html";
    partial.Received = 100;
    ASSERT_TRUE(engine().SaveAtClose());
    restart();

    TTask& again = task("site");
    EXPECT_EQ(again.State, TaskState::Stopped);
    EXPECT_EQ(again.Queued, 2);
    EXPECT_THAT(urls(state().SeenList.head()), ElementsAre("site http://h/docs/"));
    EXPECT_THAT(urls(state().Queue.head()),
                ElementsAre("site http://h/docs/a.html", "site http://h/docs/b.html"));
    engine().LoadAllTasks();
    EXPECT_EQ(state().Queue.size(), 2u) << "loaded once";

    m_view.selection = {&again};
    engine().StartSelectedTasks();
    tick();
    ASSERT_NE(http(0).Obj(), nullptr);
    EXPECT_EQ(http(0).Obj()->URL, "http://h/docs/a.html");
    EXPECT_EQ(http(0).Obj()->Received, 100);
}

}  // namespace
}  // namespace quillharbor::test
