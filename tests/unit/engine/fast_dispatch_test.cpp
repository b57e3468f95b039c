#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// Both dispatch modes run one admission: the same objects start in the same order, duplicates
// and stopped tasks are handled alike, and the task ends alike. Only the moment differs: with
// FastDispatch a slot freed by a report takes its next object before any tick.
class FastDispatchTest : public EngineTest, public ::testing::WithParamInterface<bool> {
protected:
    bool fast() const { return GetParam(); }
    void startWith(const std::string& general) {
        EngineTest::startWith(general + "FastDispatch=" + (fast() ? "1" : "0") + "\n");
        engine().StartScheduler();
    }
    // The slot's transfer ends as a real one does: the object settles and its report follows.
    void finish(int slot) {
        TDnObj& object = *http(slot).Obj();
        const std::string name = object.URL.substr(object.URL.rfind('/') + 1);
        http(slot).complete(ObjectState::Done, name);
        post(EngineMessage::ObjectDone, identityOf(object));
        if (--object.Task->Queued == 0) {
            post(EngineMessage::TaskEnded, identityOf(*object.Task));
        }
        pump();
    }
    std::string serving(int slot) { return EngineTest::serving(http(slot)); }
};

TEST_P(FastDispatchTest, SameOrderSameSettlingSameEndOnlySooner) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=1\nPause=0\n");
    TTask& done = *create("done", "http://h/copy.gif");
    tick();
    finish(0);
    TTask& stopped = *create("stopped", "http://h/s1");
    stopped.State = TaskState::Stopped;
    TTask& task = *create("t", "http://h/a");
    queue(task, "ftp://h/f");
    TDnObj& copy = queue(task, "http://h/copy.gif");  // done's copy: settled, never started
    queue(task, "http://h/b");
    EXPECT_EQ(done.State, TaskState::Finished);
    EXPECT_EQ(stopped.State, TaskState::Stopped);

    std::vector<std::string> started;
    tick();
    started.push_back(serving(0));
    for (int i = 0; i < 2; ++i) {
        finish(0);
        if (!fast()) {
            EXPECT_EQ(serving(0), "(idle)") << "the tick's mode waits for the tick";
            tick();
        }
        started.push_back(serving(0));
    }
    EXPECT_THAT(started, ElementsAre("http://h/a", "http://h/b", "(idle)"));
    EXPECT_EQ(ftp(0).Obj()->URL, "ftp://h/f");
    EXPECT_EQ(copy.State, ObjectState::RetrievedByOther);
    EXPECT_EQ(stopped.Objects.head()->InList, GlobalList::Queue);
    EXPECT_NE(task.State, TaskState::Finished) << "the FTP object is still out";
    ftp(0).Finish();
    if (--task.Queued == 0) {
        post(EngineMessage::TaskEnded, identityOf(task));
    }
    pump();
    EXPECT_EQ(task.State, TaskState::Finished);
}

TEST_P(FastDispatchTest, PauseIsKeptBetweenOneSlotsTransfers) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=400\n");
    queue(*create("t", "http://h/a"), "http://h/b");
    // The tick's mode rests two whole ticks and starts on the third; the fast one rests 400 ms
    // by the slot's own timer, ticks or not.
    const auto rest = [&] {
        const auto freed = std::chrono::steady_clock::now();
        if (!fast()) {
            tick(2);
            EXPECT_EQ(serving(0), "(idle)");
            tick();
            return;
        }
        tick(3);
        for (int i = 0; i < 100 && serving(0) == "(idle)"; ++i) m_loop.runOnce(50ms);
        EXPECT_GE(std::chrono::steady_clock::now() - freed, 400ms);
    };
    rest();
    ASSERT_EQ(serving(0), "http://h/a");
    finish(0);
    EXPECT_EQ(serving(0), "(idle)");
    rest();
    EXPECT_EQ(serving(0), "http://h/b");
}

INSTANTIATE_TEST_SUITE_P(BothModes, FastDispatchTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fast" : "Tick"; });

}  // namespace
}  // namespace quillharbor::test
