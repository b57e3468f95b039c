#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "loop_fixture.h"

namespace quillharbor {
namespace {

constexpr unsigned kNotice = WM_USER + 1;

std::intptr_t reply(unsigned kind, unsigned error = 0) {
    return makeSelectReply(kind, error);
}

class ReadinessTest : public LoopTest {
protected:
    void TearDown() override {
        for (const int fd : m_open) {
            close(fd);
        }
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

    std::pair<int, int> makePair() {
        int fds[2] = {-1, -1};
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        return {own(fds[0]), own(fds[1])};
    }
    int tcpSocket() { return own(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)); }
    // A loopback port; with listening false it refuses connections.
    int boundPort(sockaddr_in& address, bool listening) {
        const int fd = tcpSocket();
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
        const int fd = tcpSocket();
        if (owner != nullptr) {
            EXPECT_EQ(loop.watchSocket(fd, owner->handle(), kNotice, kinds), 0);
        }
        EXPECT_TRUE(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                    errno == EINPROGRESS);
        return fd;
    }

    static std::vector<std::intptr_t> replies(const Recorder& owner) {
        std::vector<std::intptr_t> result;
        for (const Message& m : owner.received) {
            result.push_back(m.lParam);
        }
        return result;
    }
    // Passes that must add nothing: no event is repeated or flooded.
    void settle() {
        for (int i = 0; i < 5; ++i) {
            loop.processPending();
        }
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

TEST_F(ReadinessTest, ConnectIsReportedOnceThenWriteThenIncomingData) {
    sockaddr_in address{};
    const int listener = boundPort(address, true);
    Recorder owner(loop);
    const int client = tcpSocket();
    ASSERT_EQ(loop.watchSocket(client, owner.handle(), kNotice, FD_ALL_EVENTS), 0);
    settle();  // an unconnected socket has nothing to report yet
    EXPECT_TRUE(owner.received.empty());
    connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ASSERT_TRUE(runUntil([&] { return owner.received.size() >= 2; }));
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_CONNECT), reply(FD_WRITE)}));
    EXPECT_EQ(owner.received[0].number, kNotice);
    EXPECT_EQ(owner.received[0].wParam, static_cast<std::uintptr_t>(client));

    send(own(accept(listener, nullptr, nullptr)), "hello");
    ASSERT_TRUE(runUntil([&] { return owner.received.size() == 3; }));
    EXPECT_EQ(owner.received[2].lParam, reply(FD_READ));
    loop.unwatchSocket(client);
}

TEST_F(ReadinessTest, ARefusedConnectReportsItsErrorAndNothingElse) {
    sockaddr_in address{};
    boundPort(address, false);
    Recorder owner(loop);
    const int client = connectWatched(address, &owner, FD_ALL_EVENTS);
    ASSERT_TRUE(runUntil([&] { return !owner.received.empty(); }));
    loop.reenableSocketEvents(client, FD_READ | FD_WRITE);
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_CONNECT, ECONNREFUSED)}));
    loop.unwatchSocket(client);
}

TEST_F(ReadinessTest, OneReadIsOutstandingUntilReenabled) {
    const auto [mine, peer] = makePair();
    Recorder owner(loop);
    ASSERT_EQ(loop.watchSocket(mine, owner.handle(), kNotice, FD_READ | FD_CLOSE), 0);
    settle();
    EXPECT_TRUE(owner.received.empty());
    send(peer, "ab");
    settle();
    send(peer, "cd");
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_READ)}));

    // A receive that leaves data behind gets the next FD_READ at once...
    char byte = 0;
    ASSERT_EQ(read(mine, &byte, 1), 1);
    loop.reenableSocketEvents(mine, FD_READ);
    settle();
    EXPECT_EQ(owner.received.size(), 2u);
    // ...one that takes everything waits for new data.
    EXPECT_EQ(drain(mine), "bcd");
    loop.reenableSocketEvents(mine, FD_READ);
    settle();
    EXPECT_EQ(owner.received.size(), 2u);
    send(peer, "e");
    settle();
    EXPECT_EQ(owner.received.size(), 3u);
    // A reader that read the socket empty is told of the next bytes without re-registering.
    EXPECT_EQ(drain(mine), "e");
    loop.readDrained(mine);
    send(peer, "f");
    settle();
    EXPECT_EQ(owner.received.size(), 4u);
    loop.unwatchSocket(mine);
}

TEST_F(ReadinessTest, WriteComesBackOnlyAfterAWriteWouldBlock) {
    const auto [mine, peer] = makePair();
    Recorder owner(loop);
    loop.watchSocket(mine, owner.handle(), kNotice, FD_WRITE | FD_CLOSE);
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_WRITE)}));

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
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_WRITE), reply(FD_WRITE)}));
    loop.unwatchSocket(mine);
}

TEST_F(ReadinessTest, PeerCloseReportsWaitingDataFirstAndLosesNothing) {
    const auto [mine, peer] = makePair();
    Recorder owner(loop);
    loop.watchSocket(mine, owner.handle(), kNotice, FD_READ | FD_CLOSE);
    send(peer, "abc");
    closeNow(peer);
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_READ), reply(FD_CLOSE)}));
    EXPECT_EQ(drain(mine), "abc");
    loop.reenableSocketEvents(mine, FD_READ);
    settle();
    EXPECT_EQ(owner.received.size(), 2u) << "end of file is no FD_READ";

    // With an FD_READ outstanding the close comes alone, and the data stays readable.
    const auto [other, otherPeer] = makePair();
    Recorder second(loop);
    loop.watchSocket(other, second.handle(), kNotice, FD_READ | FD_CLOSE);
    send(otherPeer, "1");
    settle();
    send(otherPeer, "23");
    closeNow(otherPeer);
    settle();
    EXPECT_EQ(replies(second), (std::vector{reply(FD_READ), reply(FD_CLOSE)}));
    EXPECT_EQ(drain(other), "123");
    loop.unwatchSocket(mine);
    loop.unwatchSocket(other);
}

TEST_F(ReadinessTest, AResetReportsCloseWithItsError) {
    sockaddr_in address{};
    const int listener = boundPort(address, true);
    Recorder owner(loop);
    const int client = connectWatched(address, &owner, FD_CONNECT | FD_CLOSE);
    ASSERT_TRUE(runUntil([&] { return !owner.received.empty(); }));
    const int server = own(accept(listener, nullptr, nullptr));
    const linger abortive{1, 0};
    setsockopt(server, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    closeNow(server);
    ASSERT_TRUE(runUntil([&] { return owner.received.size() == 2; }));
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_CONNECT), reply(FD_CLOSE, ECONNRESET)}));
    loop.unwatchSocket(client);
}

TEST_F(ReadinessTest, AcceptIsReportedOncePerAcceptAndUrgentDataAsOutOfBand) {
    sockaddr_in address{};
    const int listener = boundPort(address, true);
    Recorder owner(loop);
    loop.watchSocket(listener, owner.handle(), kNotice, FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE);
    Recorder client(loop);
    const int first = connectWatched(address, &client, FD_CONNECT | FD_OOB);
    connectWatched(address, nullptr, 0);
    ASSERT_TRUE(runUntil([&] { return !owner.received.empty(); }));
    settle();
    EXPECT_EQ(replies(owner), (std::vector{reply(FD_ACCEPT)}));

    const int accepted = own(accept(listener, nullptr, nullptr));
    loop.reenableSocketEvents(listener, FD_ACCEPT);
    ASSERT_TRUE(runUntil([&] { return owner.received.size() == 2; })) << "one more waits";
    own(accept(listener, nullptr, nullptr));
    loop.reenableSocketEvents(listener, FD_ACCEPT);
    settle();
    EXPECT_EQ(owner.received.size(), 2u);

    ASSERT_EQ(::send(accepted, "!", 1, MSG_OOB), 1);
    ASSERT_TRUE(runUntil([&] { return client.received.size() == 2; }));
    EXPECT_EQ(replies(client), (std::vector{reply(FD_CONNECT), reply(FD_OOB)}));
    loop.unwatchSocket(listener);
    loop.unwatchSocket(first);
}

TEST_F(ReadinessTest, UnwatchingDropsQueuedReadinessOnly) {
    const auto [mine, peer] = makePair();
    Recorder owner(loop);
    Recorder unwatcher(loop);
    loop.watchSocket(mine, owner.handle(), kNotice, FD_READ);
    unwatcher.onReceive = [&](const Message&) { loop.unwatchSocket(mine); };
    loop.post(unwatcher.handle(), WM_USER);
    loop.post(owner.handle(), WM_USER + 7, static_cast<std::uintptr_t>(mine));
    send(peer, "x");
    // The pass queues FD_READ behind both posts, and the first one unwatches before it is due.
    settle();
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].number, WM_USER + 7);
}

TEST_F(ReadinessTest, SelectingAgainReplacesTheSelectionAndRemovalEndsTheWatch) {
    const auto [mine, peer] = makePair();
    Recorder owner(loop);
    loop.watchSocket(mine, owner.handle(), kNotice, 0);
    send(peer, "x");
    settle();
    EXPECT_TRUE(owner.received.empty()) << "an empty selection is silent";
    // What already holds is reported when selected.
    loop.watchSocket(mine, owner.handle(), kNotice + 1, FD_READ);
    settle();
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].number, kNotice + 1);
    EXPECT_EQ(loop.watchedSocketCount(), 1u);
    loop.unwatchSocket(mine);

    // Bad watches are refused; removing the target ends its watch and drops what was due.
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
