// A task whose starting URL is an HTTP document, run by the engine with real HTTP slots: the
// scheduler is ticked by hand and the loop driven between ticks.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clients/network_slot_factory.h"
#include "engine/engine.h"
#include "engine/null_dial_up.h"
#include "engine/null_engine_view.h"
#include "engine/null_drop_source.h"
#include "engine/null_link_intake.h"
#include "engine/null_link_rewrite_queue.h"
#include "net/http_servers.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

class QuietView : public NullEngineView {
public:
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }

    std::vector<std::string> notifications;
};

class CountedTaskFiles : public TaskFileWriter {
public:
    Status WriteTaskFile(const TTask&, const std::string&) override {
        ++written;
        return {};
    }
    std::vector<Error> SaveRunningTasks(const TaskList&, const std::string&) override { return {}; }
    int written = 0;
};

class HttpEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<Engine>(
            EngineServices{loop, view, drop, dialUp, taskFiles, intake, rewriter, &factory},
            programDir.path());
        GlobalOptions& options = engine->globalOptions();
        options.TaskRoot = programDir.make("downloads");
        options.MaxHTTPConns = 1;
        options.MaxFTPConns = 0;
        options.HTTPTimeout = 1;
        engine->ApplySettings();
    }
    void TearDown() override {
        engine.reset();
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }

    TTask* createTask(const std::string& name, const std::string& url) {
        engine->PrepareNewTaskParams();
        NewTaskParams& params = engine->newTaskParams();
        params.Name = name;
        params.URL = url;
        params.StartAtOnce = true;
        params.MaxLevels = 1;  // the starting document alone, not scanned
        params.MaxLevelsInf = false;
        return engine->CreateTask();
    }
    // One scheduler tick, then whatever the loop has for us.
    void tick() {
        engine->Timer1Timer();
        loop.runOnce(std::chrono::milliseconds(2));
    }

    HttpServers& servers = HttpServers::instance();
    TempDirectory programDir;
    MessageLoop loop;
    QuietView view;
    NullDropSource drop;
    NullDialUp dialUp;
    CountedTaskFiles taskFiles;
    NullLinkIntake intake;
    NullLinkRewriteQueue rewriter;
    NetworkSlotFactory factory{loop};
    std::unique_ptr<Engine> engine;
};

TEST_F(HttpEndToEndTest, StartingDocumentIsDownloadedAndTheTaskEnds) {
    ASSERT_TRUE(servers.startNginx());
    TTask* task =
        createTask("site", "http://127.0.0.1:" + std::to_string(servers.nginxPort) + "/index.html");
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(engine->state().HttpSlots.size(), 1u);
    for (int i = 0; i < 2000 && task->State != TaskState::Finished; ++i) {
        tick();
    }
    EXPECT_EQ(task->State, TaskState::Finished);
    TDnObj& start = *task->Objects.begin();
    EXPECT_EQ(start.State, ObjectState::Done);
    EXPECT_EQ(start.LocalName, task->StartDocName);
    EXPECT_EQ(readWholeFile(task->Dir + start.LocalName).valueOr({}), servers.document);
    EXPECT_EQ(task->Queued, 0);
    EXPECT_GE(taskFiles.written, 2) << "at creation and at the end";
}

TEST_F(HttpEndToEndTest, SilentServerIsAbortedByTheTimeOut) {
    ASSERT_TRUE(servers.startScripted());
    TTask* task = createTask(
        "quiet", "http://127.0.0.1:" + std::to_string(servers.scriptedPort) + "/silence");
    ASSERT_NE(task, nullptr);
    TDnObj& start = *task->Objects.begin();
    HttpSlot& slot = *engine->state().HttpSlots[0];
    int busyTicks = 0;
    for (int i = 0; i < 2000 && task->State != TaskState::Finished; ++i) {
        tick();
        busyTicks += slot.ready() ? 0 : 1;
    }
    EXPECT_EQ(start.State, ObjectState::Removed) << "aborted with nothing received";
    EXPECT_EQ(start.Status, 801);
    EXPECT_GE(busyTicks, kTicksPerMinute);
    EXPECT_EQ(task->State, TaskState::Finished);
}

}  // namespace
}  // namespace quillharbor::test
