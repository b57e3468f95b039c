#include <poll.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <thread>

#include "loop_fixture.h"

namespace quillharbor {
namespace {

using namespace std::chrono_literals;

bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
}

TEST_F(LoopTest, DeliversInPostingOrderAndLeavesNewPostsForTheNextPass) {
    Recorder first(loop);
    Recorder second(loop);
    std::vector<unsigned> order;
    first.onReceive = [&](const Message& m) { order.push_back(m.number); };
    second.onReceive = [&](const Message& m) {
        order.push_back(m.number);
        loop.post(second.handle(), m.number + 10);
    };
    EXPECT_TRUE(loop.post(first.handle(), WM_USER + 1, 7, -7));
    loop.post(second.handle(), WM_USER + 2);
    loop.post(first.handle(), WM_USER + 3);
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(order, (std::vector<unsigned>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
    EXPECT_EQ(first.received[0].wParam, 7u);
    EXPECT_EQ(first.received[0].lParam, -7);
    // A handler that keeps posting cannot hold the caller forever.
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(order.back(), WM_USER + 12);
    second.onReceive = nullptr;
    loop.processPending();
    EXPECT_FALSE(loop.processPending());
}

TEST_F(LoopTest, PostsFromOtherThreadsWakeTheLoopAndAllArriveInOrderPerThread) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    Recorder target(loop);
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                loop.post(target.handle(), WM_USER, static_cast<std::uintptr_t>(t), i);
            }
        });
    }
    ASSERT_TRUE(runUntil([&] { return target.received.size() == kThreads * kPerThread; }, 10000));
    for (auto& poster : posters) {
        poster.join();
    }
    std::array<std::intptr_t, kThreads> next{};
    for (const Message& m : target.received) {
        EXPECT_EQ(m.lParam, next[m.wParam]++);
    }
}

TEST_F(LoopTest, RemovedTargetsGetNothingEvenWhenRemovedByAHandler) {
    EXPECT_FALSE(loop.post(0, WM_USER));
    std::optional<Recorder> gone(loop);
    const Handle goneHandle = gone->handle();
    Recorder victim(loop);
    Recorder killer(loop);
    Recorder suicidal(loop);
    killer.onReceive = [&](const Message&) { loop.remove(victim.handle()); };
    suicidal.onReceive = [&](const Message&) { loop.remove(suicidal.handle()); };
    loop.post(goneHandle, WM_USER);
    loop.post(killer.handle(), WM_USER);
    loop.post(victim.handle(), WM_USER);
    loop.post(suicidal.handle(), WM_USER);
    loop.post(suicidal.handle(), WM_USER);
    gone.reset();
    EXPECT_FALSE(loop.post(goneHandle, WM_USER));
    EXPECT_EQ(loop.startTimer(goneHandle, 1ms), 0u);

    loop.processPending();
    EXPECT_EQ(killer.received.size(), 1u);
    EXPECT_TRUE(victim.received.empty());
    EXPECT_EQ(suicidal.received.size(), 1u);
    EXPECT_FALSE(loop.post(suicidal.handle(), WM_USER));
    EXPECT_FALSE(readable(loop.descriptor()));
    Recorder fresh(loop);
    EXPECT_NE(fresh.handle(), goneHandle) << "handles are not reused";
}

TEST_F(LoopTest, ProcessPendingNestsInsideAHandler) {
    Recorder outer(loop);
    Recorder inner(loop);
    std::vector<std::string> trace;
    outer.onReceive = [&](const Message&) {
        trace.push_back("outer begins");
        loop.post(inner.handle(), WM_USER);
        EXPECT_TRUE(loop.processPending());
        trace.push_back("outer ends");
    };
    inner.onReceive = [&](const Message&) { trace.push_back("inner"); };
    loop.post(outer.handle(), WM_USER);
    loop.post(inner.handle(), WM_USER);
    loop.processPending();
    EXPECT_EQ(trace, (std::vector<std::string>{"outer begins", "inner", "inner", "outer ends"}));
}

TEST_F(LoopTest, DescriptorIsReadableExactlyWhileWorkWaits) {
    Recorder target(loop);
    EXPECT_FALSE(readable(loop.descriptor()));
    loop.post(target.handle(), WM_USER);
    EXPECT_TRUE(readable(loop.descriptor()));
    loop.processPending();
    EXPECT_FALSE(readable(loop.descriptor()));

    const unsigned timer = loop.startTimer(target.handle(), 1ms);
    pollfd entry{loop.descriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, 5000), 1) << "a due timer wakes a toolkit's loop";
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(target.received.back().number, WM_TIMER);
    loop.stopTimer(timer);
    EXPECT_FALSE(readable(loop.descriptor()));
}

TEST_F(LoopTest, QuitEndsRunFromAHandlerOrAnotherThread) {
    Recorder target(loop);
    target.onReceive = [&](const Message&) { loop.quit(); };
    loop.post(target.handle(), WM_USER);
    loop.run();
    EXPECT_EQ(target.received.size(), 1u);
    std::thread stopper([&] { loop.quit(); });
    loop.run();
    stopper.join();
}

TEST_F(LoopTest, TimersTickUntilStoppedWithoutReenteringTheirHandler) {
    Recorder fast(loop);
    Recorder slow(loop);
    int depth = 0;
    int deepest = 0;
    fast.onReceive = [&](const Message&) {
        deepest = std::max(deepest, ++depth);
        // The first tick pumps while three ticks of the slow timer pass.
        if (fast.received.size() == 1) {
            runUntil([&] { return slow.received.size() >= 3; });
        }
        --depth;
    };
    const unsigned fastTimer = loop.startTimer(fast.handle(), 1ms);
    const unsigned slowTimer = loop.startTimer(slow.handle(), 3ms);
    ASSERT_TRUE(runUntil([&] { return fast.received.size() >= 3; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(fast.received[0].number, WM_TIMER);
    EXPECT_EQ(fast.received[0].wParam, fastTimer);
    EXPECT_EQ(slow.received[0].wParam, slowTimer);

    loop.stopTimer(fastTimer);
    const std::size_t ticks = fast.received.size();
    const std::size_t slowTicks = slow.received.size();
    ASSERT_TRUE(runUntil([&] { return slow.received.size() >= slowTicks + 2; }));
    EXPECT_EQ(fast.received.size(), ticks);
    loop.stopTimer(slowTimer);
    loop.stopTimer(slowTimer);
}

TEST_F(LoopTest, ATimerStoppedByAnEarlierHandlerOfThePassDoesNotTick) {
    Recorder first(loop);
    Recorder second(loop);
    unsigned secondTimer = 0;
    first.onReceive = [&](const Message&) { loop.stopTimer(secondTimer); };
    loop.startTimer(first.handle(), 2ms);
    secondTimer = loop.startTimer(second.handle(), 2ms);
    ASSERT_TRUE(runUntil([&] { return !first.received.empty(); }));
    EXPECT_TRUE(second.received.empty());
    // The first timer is left running: removing its target must stop it (see the teardown).
}

}  // namespace
}  // namespace quillharbor
