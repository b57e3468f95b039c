// The message loop: posts, timers and the watches of sockets.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
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

// Posting order holds; a pass delivers only what waited when it began, may nest inside a
// handler, and skips targets removed meanwhile (by a handler, or by themselves). Handles are
// never reused, and the descriptor is readable exactly while work waits.
TEST_F(LoopTest, DeliversInOrderOnlyToLiveTargets) {
    Recorder first(loop), second(loop), victim(loop), suicidal(loop);
    std::optional<Recorder> gone(loop);
    const Handle goneHandle = gone->handle();
    std::vector<std::string> trace;
    first.onReceive = [&](const Message& m) {
        trace.push_back("first " + std::to_string(m.lParam));
        if (m.lParam == -7) {
            loop.remove(victim.handle());
            loop.post(second.handle(), WM_USER, 0, 2);
            EXPECT_TRUE(loop.processPending());
        }
    };
    const auto record = [&](const Message& m) {
        trace.push_back("second " + std::to_string(m.lParam));
    };
    second.onReceive = record;
    suicidal.onReceive = [&](const Message&) { loop.remove(suicidal.handle()); };
    EXPECT_FALSE(readable(loop.descriptor()));
    EXPECT_TRUE(loop.post(first.handle(), WM_USER, 7, -7));
    EXPECT_TRUE(readable(loop.descriptor()));
    for (Handle target :
         {goneHandle, second.handle(), victim.handle(), suicidal.handle(), suicidal.handle()}) {
        loop.post(target, WM_USER, 0, 1);
    }
    gone.reset();
    EXPECT_FALSE(loop.post(goneHandle, WM_USER));
    EXPECT_FALSE(loop.post(0, WM_USER));
    EXPECT_EQ(loop.startTimer(goneHandle, 1ms), 0u);
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(trace, (std::vector<std::string>{"first -7", "second 1", "second 2"}));
    EXPECT_TRUE(victim.received.empty() && suicidal.received.size() == 1);
    EXPECT_EQ(first.received[0].wParam, 7u);
    // A handler that keeps posting cannot hold the caller: its posts wait for the next pass.
    second.onReceive = [&](const Message& m) {
        record(m);
        loop.post(second.handle(), WM_USER, 0, m.lParam + 10);
    };
    loop.post(second.handle(), WM_USER, 0, 3);
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(trace.back(), "second 3");
    EXPECT_TRUE(loop.processPending());
    EXPECT_EQ(trace.back(), "second 13");
    second.onReceive = nullptr;
    loop.processPending();
    EXPECT_FALSE(loop.processPending());
    EXPECT_FALSE(readable(loop.descriptor()));
    Recorder fresh(loop);
    EXPECT_NE(fresh.handle(), goneHandle);
}

TEST_F(LoopTest, PostsFromOtherThreadsArriveInOrderPerThreadAndQuitEndsRun) {
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
    for (auto& poster : posters) poster.join();
    std::array<std::intptr_t, kThreads> next{};
    for (const Message& m : target.received) {
        EXPECT_EQ(m.lParam, next[m.wParam]++);
    }
    target.onReceive = [&](const Message&) { loop.quit(); };
    loop.post(target.handle(), WM_USER);
    loop.run();
    std::thread stopper([&] { loop.quit(); });
    loop.run();
    stopper.join();
}

// A timer wakes a toolkit's loop through the descriptor, never re-enters its own handler, stops
// for good, and does not tick once an earlier handler of the same pass stopped it.
TEST_F(LoopTest, TimersTickUntilStoppedWithoutReenteringTheirHandler) {
    Recorder fast(loop), slow(loop), stopper(loop), stopped(loop);
    int depth = 0;
    int deepest = 0;
    fast.onReceive = [&](const Message&) {
        deepest = std::max(deepest, ++depth);
        if (fast.received.size() == 1) {
            runUntil([&] { return slow.received.size() >= 3; });
        }
        --depth;
    };
    const unsigned fastTimer = loop.startTimer(fast.handle(), 1ms);
    const unsigned slowTimer = loop.startTimer(slow.handle(), 3ms);
    pollfd entry{loop.descriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, 5000), 1) << "a due timer wakes a toolkit's loop";
    ASSERT_TRUE(runUntil([&] { return fast.received.size() >= 3; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(fast.received[0].number, WM_TIMER);
    EXPECT_EQ(fast.received[0].wParam, fastTimer);
    loop.stopTimer(fastTimer);
    // Started once no handler pumps: a pumping handler holds back the ticks of its pass, so a
    // later timer could tick in between.
    unsigned stoppedTimer = 0;
    stopper.onReceive = [&](const Message&) { loop.stopTimer(stoppedTimer); };
    loop.startTimer(stopper.handle(), 2ms);  // left running: removing its target stops it
    stoppedTimer = loop.startTimer(stopped.handle(), 2ms);
    const std::size_t ticks = fast.received.size();
    const std::size_t slowTicks = slow.received.size();
    ASSERT_TRUE(runUntil(
        [&] { return slow.received.size() >= slowTicks + 2 && !stopper.received.empty(); }));
    EXPECT_EQ(fast.received.size(), ticks);
    EXPECT_TRUE(stopped.received.empty());
    loop.stopTimer(slowTimer);
    loop.stopTimer(slowTimer);
}

// Unwatching drops readiness already queued but not other posts; selecting again replaces the
// selection and reports what already holds; bad watches are refused; removing the target ends
// its watch and drops what was due.
TEST_F(LoopTest, SocketWatchesAreReplacedDroppedAndRefused) {
    constexpr unsigned kNotice = WM_USER + 1;
    int fds[2] = {-1, -1};
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    const auto [mine, peer] = fds;
    const auto settle = [this] {
        for (int i = 0; i < 5; ++i) loop.processPending();
    };
    Recorder owner(loop), unwatcher(loop);
    ASSERT_EQ(loop.watchSocket(mine, owner.handle(), kNotice, FD_READ), 0);
    unwatcher.onReceive = [&](const Message&) { loop.unwatchSocket(mine); };
    loop.post(unwatcher.handle(), WM_USER);
    loop.post(owner.handle(), WM_USER + 7, static_cast<std::uintptr_t>(mine));
    ASSERT_EQ(write(peer, "x", 1), 1);
    settle();
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].number, WM_USER + 7);

    loop.watchSocket(mine, owner.handle(), kNotice, 0);
    settle();
    EXPECT_EQ(owner.received.size(), 1u) << "an empty selection is silent";
    loop.watchSocket(mine, owner.handle(), kNotice + 1, FD_READ);
    settle();
    ASSERT_EQ(owner.received.size(), 2u);
    EXPECT_EQ(owner.received[1].number, kNotice + 1);
    EXPECT_EQ(loop.watchedSocketCount(), 1u);
    loop.unwatchSocket(mine);

    std::optional<Recorder> gone(loop);
    EXPECT_EQ(loop.watchSocket(-1, gone->handle(), kNotice, FD_READ), EBADF);
    EXPECT_EQ(loop.watchSocket(mine, 0, kNotice, FD_READ), EINVAL);
    loop.watchSocket(mine, gone->handle(), kNotice, FD_READ);
    ASSERT_EQ(write(peer, "y", 1), 1);
    gone.reset();
    EXPECT_EQ(loop.watchedSocketCount(), 0u);
    EXPECT_FALSE(loop.processPending());
    close(mine);
    close(peer);
}

}  // namespace
}  // namespace quillharbor
