#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using namespace std::chrono_literals;

// With FastDispatch a slot freed by a report takes its next object before any tick, through
// the tick's own admission: the same order, duplicates settled and stopped tasks skipped, the
// task ended alike; an HTTP slot's pause is timed by a loop timer of its own.
class FastDispatchTest : public EngineTest {
protected:
    void startWith(const std::string& general) {
        EngineTest::startWith(general + "FastDispatch=1\n");
        engine().StartScheduler();
    }
    // The slot's transfer ends as a real one does: the object settles and its report follows.
    void finish(int slot) {
        TDnObj& object = *http(slot).Obj();
        http(slot).complete(ObjectState::Done, object.URL.substr(object.URL.rfind('/') + 1));
        post(EngineMessage::ObjectDone, identityOf(object));
        if (--object.Task->Queued == 0) {
            post(EngineMessage::TaskEnded, identityOf(*object.Task));
        }
        pump();
    }
};

TEST_F(FastDispatchTest, AFreedSlotStartsItsNextObjectAtOnce) {
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
    std::string started;
    tick();
    for (int i = 0; i < 3; ++i) {
        started += serving(http(0)) + (i < 2 ? ", " : "");
        if (http(0).Obj() != nullptr) {
            finish(0);
        }
    }
    EXPECT_EQ(started, "http://h/a, http://h/b, (idle)");
    EXPECT_EQ(ftp(0).Obj()->URL, "ftp://h/f");
    EXPECT_EQ(copy.State, ObjectState::RetrievedByOther);
    EXPECT_EQ(stopped.Objects.head()->InList, GlobalList::Queue);
    EXPECT_NE(task.State, TaskState::Finished) << "the FTP object is still out";
    ftp(0).Finish();
    --task.Queued;
    post(EngineMessage::TaskEnded, identityOf(task));
    pump();
    EXPECT_EQ(task.State, TaskState::Finished);
}

TEST_F(FastDispatchTest, PauseIsKeptBetweenOneSlotsTransfers) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=400\n");
    queue(*create("t", "http://h/a"), "http://h/b");
    // The slot rests 400 ms by its own timer, ticks or not.
    for (const char* next : {"http://h/a", "http://h/b"}) {
        const auto freed = std::chrono::steady_clock::now();
        tick(3);
        for (int i = 0; i < 100 && serving(http(0)) == "(idle)"; ++i) m_loop.runOnce(50ms);
        EXPECT_GE(std::chrono::steady_clock::now() - freed, 400ms);
        ASSERT_EQ(serving(http(0)), next);
        finish(0);
        EXPECT_EQ(serving(http(0)), "(idle)");
    }
}

}  // namespace
}  // namespace quillharbor::test
