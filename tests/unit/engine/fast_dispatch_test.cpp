#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using namespace std::chrono_literals;

// With FastDispatch a slot freed by a report takes its next object before any tick; an HTTP
// slot's pause is timed by a loop timer of its own.
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
