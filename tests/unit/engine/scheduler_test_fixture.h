#pragma once

#include <string>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {

// An engine with fake slots whose transfers the test ends; tick() runs the scheduler once and
// then the messages it posted, as the loop would before the next tick.
class SchedulerTest : public EngineTest {
protected:
    void startWith(const std::string& general) {
        writeSettings("[General]\n" + general);
        start();
    }
    FakeHttpSlot& http(int index) { return static_cast<FakeHttpSlot&>(*state().HttpSlots[index]); }
    FakeFtpSlot& ftp(int index) { return static_cast<FakeFtpSlot&>(*state().FtpSlots[index]); }
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            engine().Timer1Timer();
            pump();
        }
    }
    // A new object of task at the tail of the queue.
    TDnObj& queue(TTask& task, const std::string& url) {
        TDnObj& object = *NewDnObj(task, url, 2);
        state().Queue.Enqueue(object);
        return object;
    }
    // A new object of task that has ended for good in state, as a transfer would leave it.
    TDnObj& settled(TTask& task, const std::string& url, ObjectState objectState,
                    std::int32_t status = 0) {
        TDnObj& object = *NewDnObj(task, url, 2);
        --task.Queued;
        object.State = objectState;
        object.Status = status;
        state().SeenList.SeenInsert(object);
        return object;
    }
    int count(const std::vector<std::string>& texts, const std::string& text) const {
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }
};

}  // namespace quillharbor::test
