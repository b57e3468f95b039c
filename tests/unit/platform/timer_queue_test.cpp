#include "platform/timer_queue.h"

#include <gtest/gtest.h>

namespace quillharbor {
namespace {

using namespace std::chrono_literals;

TEST(TimerQueueTest, DeadlinesStayOnTheirGridAndMissedPeriodsCoalesce) {
    TimerQueue timers;
    const TimerQueue::Clock::time_point start{};
    const unsigned id = timers.start(7, 200ms, start);
    EXPECT_TRUE(timers.takeDue(start + 199ms).empty());
    // Served late: the next deadline is still start + 400 ms, not late + 200 ms.
    EXPECT_EQ(timers.takeDue(start + 250ms), std::vector<unsigned>{id});
    EXPECT_EQ(timers.nextDeadline(), start + 400ms);
    // Five periods missed: one tick, and the grid holds.
    EXPECT_EQ(timers.takeDue(start + 1390ms), std::vector<unsigned>{id});
    EXPECT_EQ(timers.nextDeadline(), start + 1400ms);
}

TEST(TimerQueueTest, DueTimersComeEarliestFirstAndStopForGood) {
    TimerQueue timers;
    const TimerQueue::Clock::time_point start{};
    const unsigned slow = timers.start(1, 30ms, start);
    const unsigned fast = timers.start(2, 10ms, start);
    const unsigned fastest = timers.start(2, 0ms, start);  // taken as 1 ms
    EXPECT_EQ(timers.takeDue(start + 30ms), (std::vector<unsigned>{fastest, fast, slow}));
    timers.stopAllOf(2);
    EXPECT_FALSE(timers.beginTick(fast));
    timers.stop(slow);
    EXPECT_EQ(timers.size(), 0u);
    EXPECT_EQ(timers.nextDeadline(), std::nullopt);
    EXPECT_NE(timers.start(1, 10ms, start), slow) << "ids are not reused";
}

}  // namespace
}  // namespace quillharbor
