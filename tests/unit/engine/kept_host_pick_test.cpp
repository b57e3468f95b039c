#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/scheduler_test_fixture.h"

namespace quillharbor::test {
namespace {

class KeptHostPickTest : public SchedulerTest {
protected:
    // Two running tasks queued as g/1, h/1, g/2, h/2: each task's objects are of one host. The
    // task names are new on each call, as the task files stay.
    void queueTwoHosts(const std::string& general) {
        startWith("MaxFTPConns=0\nPause=0\n" + general);
        const std::string round = std::to_string(++m_rounds);
        g = create("g" + round, "http://g/1");
        h = create("h" + round, "http://h/1");
        queue(*g, "http://g/2");
        queue(*h, "http://h/2");
    }
    std::string taken(int slot) {
        return http(slot).Obj() != nullptr ? http(slot).Obj()->URL : "(idle)";
    }

    TTask* g = nullptr;
    TTask* h = nullptr;
    int m_rounds = 0;
};

TEST_F(KeptHostPickTest, AFreeSlotTakesTheNextEligibleObjectOfItsKeptHost) {
    struct Case {
        const char* name;
        std::string kept;
        std::function<void()> prepare;
        std::vector<std::string> picks;  // what the slot takes, one transfer after another
    };
    const auto holdH = [this] {
        HostTable& hosts = state().Queue.hosts();
        hosts.holdUntil(hosts.intern("http://h"),
                        HostTable::Clock::now() + std::chrono::minutes(5));
    };
    const Case cases[] = {
        {"the kept host in queue order, then the head",
         "http://h",
         {},
         {"http://h/1", "http://h/2", "http://g/1", "http://g/2"}},
        {"no connection kept", "", {}, {"http://g/1", "http://h/1", "http://g/2", "http://h/2"}},
        {"a host never queued", "http://x", {}, {"http://g/1", "http://h/1"}},
        {"the kept host is held back", "http://h", holdH, {"http://g/1", "http://g/2", "(idle)"}},
        {"its task is stopped",
         "http://h",
         [this] { h->State = TaskState::Stopped; },
         {"http://g/1", "http://g/2", "(idle)"}},
        {"the slot took its host's objects long enough",
         "http://h",
         [this] { http(0).KeptPicks = ObjectPicker::kMaxKeptPicks; },
         {"http://g/1", "http://h/1"}},
    };
    for (const Case& c : cases) {
        queueTwoHosts("MaxHTTPConns=1\n");
        http(0).kept = c.kept;
        if (c.prepare) {
            c.prepare();
        }
        std::vector<std::string> picks;
        for (std::size_t i = 0; i < c.picks.size(); ++i) {
            tick();
            picks.push_back(taken(0));
            if (http(0).Obj() != nullptr) {
                http(0).complete(ObjectState::Done, "f" + std::to_string(i));
            }
        }
        EXPECT_EQ(picks, c.picks) << c.name;
    }
}

// Slots that keep the same host share its walk, the per-host cap still holds, and the queue's
// head goes to the slots left over.
TEST_F(KeptHostPickTest, SlotsKeepingOneHostShareItWithinItsCap) {
    queueTwoHosts("MaxHTTPConns=4\nMaxConnsPerHost=2\n");
    queue(*h, "http://h/3");
    http(0).kept = "http://h";
    http(1).kept = "http://h";
    http(2).kept = "http://h";
    tick();
    EXPECT_EQ(taken(0), "http://h/1");
    EXPECT_EQ(taken(1), "http://h/2");
    EXPECT_EQ(taken(2), "http://g/1") << "h is served by two slots already";
    EXPECT_EQ(taken(3), "http://g/2");
    EXPECT_EQ(http(0).KeptPicks, 1u);
    EXPECT_EQ(http(2).KeptPicks, 0u);
}

}  // namespace
}  // namespace quillharbor::test
