// The message loop: posts, timers and the readiness of watched sockets.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
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
#include "platform/timer_queue.h"

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

// Deadlines stay on their grid and missed periods coalesce; due timers come earliest first and
// stop for good; ids are not reused.
TEST(TimerQueueTest, DeadlinesStayOnTheirGridAndDueTimersComeEarliestFirst) {
    TimerQueue timers;
    const TimerQueue::Clock::time_point start{};
    const unsigned id = timers.start(7, 200ms, start);
    EXPECT_TRUE(timers.takeDue(start + 199ms).empty());
    // Served late: the next deadline is still start + 400 ms; five periods missed: one tick.
    EXPECT_EQ(timers.takeDue(start + 250ms), std::vector<unsigned>{id});
    EXPECT_EQ(timers.nextDeadline(), start + 400ms);
    EXPECT_EQ(timers.takeDue(start + 1390ms), std::vector<unsigned>{id});
    EXPECT_EQ(timers.nextDeadline(), start + 1400ms);
    timers.stop(id);
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

constexpr unsigned kNotice = WM_USER + 1;
using Replies = std::vector<std::intptr_t>;

class ReadinessTest : public LoopTest {
protected:
    void TearDown() override {
        for (const int fd : m_open) close(fd);
        LoopTest::TearDown();
    }
    int own(int fd) {
        EXPECT_GE(fd, 0);
        m_open.push_back(fd);
        return fd;
    }
    void closeNow(int fd) {
        close(fd);
        std::erase(m_open, fd);
    }
    // A watched end of a socket pair and its peer.
    std::pair<int, int> watchedPair(const Recorder& owner, unsigned kinds) {
        int fds[2] = {-1, -1};
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        EXPECT_EQ(loop.watchSocket(own(fds[0]), owner.handle(), kNotice, kinds), 0);
        return {fds[0], own(fds[1])};
    }
    // A loopback port; with listening false it refuses connections.
    int boundPort(sockaddr_in& address, bool listening) {
        const int fd = own(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        EXPECT_TRUE(!listening || listen(fd, 5) == 0);
        return fd;
    }
    // Watches a new socket before connecting it, as the socket layer does.
    int connectWatched(const sockaddr_in& address, const Recorder* owner, unsigned kinds) {
        const int fd = own(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        if (owner != nullptr) {
            EXPECT_EQ(loop.watchSocket(fd, owner->handle(), kNotice, kinds), 0);
            settle();  // an unconnected socket has nothing to report yet
            EXPECT_TRUE(owner->received.empty());
        }
        EXPECT_TRUE(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                    errno == EINPROGRESS);
        return fd;
    }
    static Replies replies(const Recorder& owner) {
        Replies result;
        for (const Message& m : owner.received) result.push_back(m.lParam);
        return result;
    }
    // Passes that must add nothing: no event is repeated or flooded.
    void settle() {
        for (int i = 0; i < 5; ++i) loop.processPending();
    }
    static std::string drain(int fd) {
        std::string data;
        char buffer[4096];
        for (ssize_t n = 0; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            data.append(buffer, static_cast<std::size_t>(n));
        }
        return data;
    }
    static void send(int fd, const std::string& data) {
        ASSERT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }

private:
    std::vector<int> m_open;
};

std::intptr_t reply(unsigned kind, unsigned error = 0) {
    return makeSelectReply(kind, error);
}

// A connect is reported once, then writing, then incoming data; a refused connect reports its
// error and nothing else; a reset reports close with its error; accepting is reported once per
// accept, and urgent data as out-of-band.
TEST_F(ReadinessTest, ConnectRefusalResetAcceptAndUrgentData) {
    sockaddr_in address{};
    const int listener = boundPort(address, true);
    Recorder owner(loop), client(loop), refused(loop), listening(loop);
    loop.watchSocket(listener, listening.handle(), kNotice, FD_READ | FD_WRITE | FD_ACCEPT);
    const int connected = connectWatched(address, &owner, FD_ALL_EVENTS);
    const int second = connectWatched(address, &client, FD_CONNECT | FD_OOB | FD_CLOSE);
    ASSERT_TRUE(
        runUntil([&] { return owner.received.size() >= 2 && !listening.received.empty(); }));
    settle();
    EXPECT_EQ(replies(owner), (Replies{reply(FD_CONNECT), reply(FD_WRITE)}));
    EXPECT_EQ(owner.received[0].number, kNotice);
    EXPECT_EQ(owner.received[0].wParam, static_cast<std::uintptr_t>(connected));
    EXPECT_EQ(replies(listening), (Replies{reply(FD_ACCEPT)}));

    const int accepted = own(accept(listener, nullptr, nullptr));
    loop.reenableSocketEvents(listener, FD_ACCEPT);
    ASSERT_TRUE(runUntil([&] { return listening.received.size() == 2; })) << "one more waits";
    const int acceptedSecond = own(accept(listener, nullptr, nullptr));
    loop.reenableSocketEvents(listener, FD_ACCEPT);
    send(accepted, "hello");
    ASSERT_TRUE(runUntil([&] { return owner.received.size() == 3; }));
    EXPECT_EQ(owner.received[2].lParam, reply(FD_READ));
    EXPECT_EQ(listening.received.size(), 2u);

    ASSERT_EQ(::send(acceptedSecond, "!", 1, MSG_OOB), 1);
    ASSERT_TRUE(runUntil([&] { return client.received.size() == 2; }));
    const linger abortive{1, 0};
    setsockopt(acceptedSecond, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    closeNow(acceptedSecond);
    ASSERT_TRUE(runUntil([&] { return client.received.size() == 3; }));
    EXPECT_EQ(replies(client),
              (Replies{reply(FD_CONNECT), reply(FD_OOB), reply(FD_CLOSE, ECONNRESET)}));

    sockaddr_in closedAddress{};
    boundPort(closedAddress, false);
    const int failing = connectWatched(closedAddress, &refused, FD_ALL_EVENTS);
    ASSERT_TRUE(runUntil([&] { return !refused.received.empty(); }));
    loop.reenableSocketEvents(failing, FD_READ | FD_WRITE);
    settle();
    EXPECT_EQ(replies(refused), (Replies{reply(FD_CONNECT, ECONNREFUSED)}));
    for (int fd : {listener, connected, second, failing}) loop.unwatchSocket(fd);
}

// One read is outstanding until re-enabled: a receive that leaves data behind gets the next at
// once, one that takes everything waits for new data (or says so with readDrained). A peer's
// close comes after the data waiting before it, alone while a read is outstanding, and end of
// file is no read.
TEST_F(ReadinessTest, ReadsAndClosesArriveOnceEachWithNothingLost) {
    Recorder owner(loop), second(loop);
    const auto [mine, peer] = watchedPair(owner, FD_READ | FD_CLOSE);
    const auto count = [&] {
        settle();
        return owner.received.size();
    };
    EXPECT_EQ(count(), 0u);
    send(peer, "ab");
    send(peer, "cd");
    EXPECT_EQ(count(), 1u);
    char byte = 0;
    ASSERT_EQ(read(mine, &byte, 1), 1);
    loop.reenableSocketEvents(mine, FD_READ);
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(drain(mine), "bcd");
    loop.reenableSocketEvents(mine, FD_READ);
    EXPECT_EQ(count(), 2u);
    send(peer, "e");
    EXPECT_EQ(count(), 3u);
    EXPECT_EQ(drain(mine), "e");
    loop.readDrained(mine);
    send(peer, "f");
    closeNow(peer);
    EXPECT_EQ(count(), 5u);
    EXPECT_EQ(owner.received.back().lParam, reply(FD_CLOSE));
    EXPECT_EQ(drain(mine), "f");
    loop.reenableSocketEvents(mine, FD_READ);
    EXPECT_EQ(count(), 5u) << "end of file is no FD_READ";

    const auto [other, otherPeer] = watchedPair(second, FD_READ | FD_CLOSE);
    send(otherPeer, "1");
    settle();
    send(otherPeer, "23");
    closeNow(otherPeer);
    settle();
    EXPECT_EQ(replies(second), (Replies{reply(FD_READ), reply(FD_CLOSE)}));
    EXPECT_EQ(drain(other), "123");
    loop.unwatchSocket(mine);
    loop.unwatchSocket(other);
}

TEST_F(ReadinessTest, WriteComesBackOnlyAfterAWriteWouldBlock) {
    Recorder owner(loop);
    const auto [mine, peer] = watchedPair(owner, FD_WRITE | FD_CLOSE);
    settle();
    EXPECT_EQ(replies(owner), (Replies{reply(FD_WRITE)}));
    const std::string block(4096, 'x');
    for (int i = 0; i < 100000 && write(mine, block.data(), block.size()) > 0; ++i) {
    }
    ASSERT_EQ(errno, EAGAIN);
    drain(peer);
    settle();
    EXPECT_EQ(owner.received.size(), 1u) << "writable again, but no send asked for it";
    // The space freed before the re-enable is not lost.
    loop.reenableSocketEvents(mine, FD_WRITE);
    ASSERT_TRUE(runUntil([&] { return owner.received.size() == 2; }));
    settle();
    EXPECT_EQ(replies(owner), (Replies{reply(FD_WRITE), reply(FD_WRITE)}));
    loop.unwatchSocket(mine);
}

// Unwatching drops readiness already queued but not other posts; selecting again replaces the
// selection and reports what already holds; bad watches are refused; removing the target ends
// its watch and drops what was due.
TEST_F(ReadinessTest, WatchesAreReplacedDroppedAndRefused) {
    Recorder owner(loop), unwatcher(loop);
    const auto [mine, peer] = watchedPair(owner, FD_READ);
    unwatcher.onReceive = [&](const Message&) { loop.unwatchSocket(mine); };
    loop.post(unwatcher.handle(), WM_USER);
    loop.post(owner.handle(), WM_USER + 7, static_cast<std::uintptr_t>(mine));
    send(peer, "x");
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
    send(peer, "y");
    gone.reset();
    EXPECT_EQ(loop.watchedSocketCount(), 0u);
    EXPECT_FALSE(loop.processPending());
}

}  // namespace
}  // namespace quillharbor
