#include "net/wsocket.h"
#include "net/name_lookup.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"

#include "net/loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace quillharbor {
namespace {

using namespace std::chrono_literals;
using test::RawListener;

class WSocketTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(NameLookup::instance().pendingCount(), 0u);
    }

    template <typename Done>
    bool pumpUntil(Done done, int rounds = 200) {
        for (int i = 0; i < rounds && !done(); ++i) loop.runOnce(20ms);
        return done();
    }

    // A socket connected to the returned descriptor over loopback.
    int connectTo(TWSocket& socket, RawListener& listener) {
        socket.setAddr("127.0.0.1");
        socket.setPort(listener.portText());
        bool connected = false;
        socket.OnSessionConnected = [&](TWSocket&, int error) { connected = error == 0; };
        socket.Connect();
        const int peer = listener.accept();
        EXPECT_TRUE(pumpUntil([&] { return connected; }));
        socket.OnSessionConnected = nullptr;
        return peer;
    }

    // One end of a socket pair adopted by `socket`; the other end is returned.
    static int adopt(TWSocket& socket) {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends);
        socket.Dup(ends[0]);
        return ends[1];
    }

    MessageLoop loop;
};

TEST_F(WSocketTest, SendBeforeConnectingReportsNotConnected) {
    TWSocket socket(loop);
    try {
        socket.SendStr("x");
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
    }
    int errors = 0;
    socket.OnError = [&](TWSocket&) { ++errors; };
    EXPECT_EQ(socket.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10057);
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
}

TEST_F(WSocketTest, ConnectAfterACloseNeedsAddrAndPortAgain) {
    RawListener listener;
    TWSocket socket(loop);
    std::vector<std::string> states;
    socket.OnChangeState = [&](TWSocket&, TSocketState, TSocketState now) {
        states.push_back(toString(now));
    };
    const int peer = connectTo(socket, listener);
    EXPECT_EQ(states, (std::vector<std::string>{"wsOpened", "wsConnecting", "wsConnected"}));
    EXPECT_EQ(socket.PeerAddr(), "127.0.0.1");
    EXPECT_EQ(socket.PeerPort(), listener.portText());
    socket.Close();
    ::close(peer);
    try {
        socket.Connect();
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Connect: No Port Specified");
    }
    socket.setPort(listener.portText());
    EXPECT_THROW(socket.Connect(), ESocketException);  // "Connect: No IP Address Specified"
    // The same texts assigned again count as assigned.
    socket.setAddr("127.0.0.1");
    socket.Connect();
    EXPECT_EQ(socket.State(), TSocketState::wsConnecting);
    const int second = listener.accept();
    EXPECT_GE(second, 0);
    ::close(second);
    EXPECT_THROW(socket.setAddr("10.0.0.1"),
                 ESocketException);  // "Cannot change Addr if not closed"
}

TEST_F(WSocketTest, RefusedConnectReportsTheCodeThenClosesOnce) {
    TWSocket socket(loop);
    socket.setAddr("127.0.0.1");
    socket.setPort(test::closedPort());
    std::vector<std::string> events;
    socket.OnSessionConnected = [&](TWSocket&, int error) {
        events.push_back("connected " + std::to_string(error));
    };
    socket.OnSessionClosed = [&](TWSocket&, int error) {
        events.push_back("closed " + std::to_string(error));
    };
    socket.Connect();
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(pumpUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"connected 10061", "closed 0"}));
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
}

TEST_F(WSocketTest, DataSentComesFromTheLoopAfterPartialSends) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    const int small = 4096;
    ::setsockopt(socket.handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    int dataSent = 0;
    long handedOver = 0;
    int sendCalls = 0;
    socket.OnDataSent = [&](TWSocket&, int) { ++dataSent; };
    socket.OnSendData = [&](TWSocket&, int count) {
        handedOver += count;
        ++sendCalls;
    };
    std::string payload(1 << 20, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7 + i / 251);
    EXPECT_EQ(socket.SendStr(payload), static_cast<int>(payload.size()));
    EXPECT_EQ(dataSent, 0);
    EXPECT_LT(handedOver, static_cast<long>(payload.size()));
    std::string received;
    for (int i = 0; i < 5000 && dataSent == 0; ++i) {
        loop.runOnce(10ms);
        received += test::readAvailable(peer);
    }
    received += test::readAvailable(peer);
    EXPECT_EQ(dataSent, 1);
    EXPECT_EQ(handedOver, static_cast<long>(payload.size()));
    EXPECT_GT(sendCalls, 1);
    EXPECT_TRUE(received == payload);

    // A send that goes out at once still reports from the loop; an empty one reports nothing.
    EXPECT_EQ(socket.SendStr("abc"), 3);
    EXPECT_EQ(socket.SendStr(""), 0);
    EXPECT_EQ(dataSent, 1);
    loop.processPending();
    EXPECT_EQ(dataSent, 2);
    loop.processPending();
    EXPECT_EQ(dataSent, 2);
    EXPECT_EQ(test::readAvailable(peer), "abc");
    ::close(peer);
}

TEST_F(WSocketTest, ReceiveLoopDrainsABurstInOneNotification) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    std::string received;
    int events = 0;
    socket.OnDataAvailable = [&](TWSocket& s, int) {
        ++events;
        char buffer[10];
        const int got = s.Receive(buffer, sizeof buffer);
        if (got > 0)
            received.append(buffer, static_cast<std::size_t>(got));
    };
    const std::string burst(95, 'q');
    test::writeAll(peer, burst);
    EXPECT_TRUE(pumpUntil([&] { return received.size() == burst.size(); }));
    EXPECT_EQ(events, 10);
    EXPECT_EQ(socket.ReadCount(), 95);

    // With the loop switched off, each notification gives one event; nothing is lost.
    socket.setComponentOptions({TWSocketOption::wsoNoReceiveLoop});
    received.clear();
    test::writeAll(peer, burst);
    EXPECT_TRUE(pumpUntil([&] { return received.size() == burst.size(); }));

    // A handler that does not read is not called again and again; the bytes wait for it.
    socket.OnDataAvailable = [&](TWSocket&, int) { ++events; };
    events = 0;
    test::writeAll(peer, "later");
    EXPECT_TRUE(pumpUntil([&] { return events > 0; }));
    loop.runOnce(10ms);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(socket.ReceiveStr(), "later");

    // Without a handler, what arrives is read and thrown away.
    socket.OnDataAvailable = nullptr;
    test::writeAll(peer, "discard me");
    const auto before = socket.ReadCount();
    EXPECT_TRUE(pumpUntil([&] { return socket.ReadCount() == before + 10; }));
    EXPECT_EQ(socket.RcvdCount(), 0);
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
}

TEST_F(WSocketTest, PeerCloseDeliversDataFirstAndClosesOnce) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    std::vector<std::string> events;
    socket.OnDataAvailable = [&](TWSocket& s, int) {
        const std::string data = s.ReceiveStr();
        if (!data.empty())
            events.push_back(data);
    };
    socket.OnSessionClosed = [&](TWSocket&, int error) {
        events.push_back("closed " + std::to_string(error));
    };
    test::writeAll(peer, "last words");
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
    loop.runOnce(10ms);
    EXPECT_EQ(events, (std::vector<std::string>{"last words", "closed 0"}));
    socket.Close();
    socket.Abort();
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(WSocketTest, OwnCloseReportsOnceAndAPeerResetEndsTheSessionOnSend) {
    TWSocket socket(loop);
    int closed = 0;
    socket.OnSessionClosed = [&](TWSocket&, int) { ++closed; };
    int peer = adopt(socket);
    socket.Close();
    socket.Close();
    EXPECT_EQ(closed, 1);
    ::close(peer);

    peer = adopt(socket);
    ::close(peer);
    std::vector<int> errors;
    socket.OnSessionClosed = [&](TWSocket&, int error) { errors.push_back(error); };
    // The first send may still be taken by the system; one of the next fails.
    for (int i = 0; i < 3 && socket.State() == TSocketState::wsConnected; ++i)
        socket.SendStr(std::string(100000, 'x'));
    pumpUntil([&] { return !errors.empty(); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0] == 0 || errors[0] == 10054, true);
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
}

TEST_F(WSocketTest, BulkDataComesInBlocksWithTheLoopServedBetweenAndTheCloseLast) {
    RawListener listener;
    TWSocket socket(loop);
    const int peer = connectTo(socket, listener);
    const int room = 4 << 20;
    ::setsockopt(socket.handle(), SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    std::size_t received = 0;
    int emptyReads = 0;
    std::vector<std::size_t> closes;
    std::vector<char> piece(64 * 1024);
    socket.OnDataAvailable = [&](TWSocket& s, int) {
        const int got = s.Receive(piece.data(), static_cast<int>(piece.size()));
        got > 0 ? received += static_cast<std::size_t>(got) : ++emptyReads;
    };
    socket.OnSessionClosed = [&](TWSocket&, int error) {
        EXPECT_EQ(error, 0);
        closes.push_back(received);
    };
    // Another target keeps posting to itself: it is served between blocks.
    struct Ticker : MessageTarget {
        MessageLoop& loop;
        Handle handle = 0;
        std::function<bool()> more;
        std::size_t* received = nullptr;
        std::size_t lastSeen = 0;
        std::size_t widestGap = 0;
        explicit Ticker(MessageLoop& l) : loop(l) {}
        void onMessage(const Message&) override {
            widestGap = std::max(widestGap, *received - lastSeen);
            lastSeen = *received;
            if (more())
                loop.post(handle, WM_USER);
        }
    } ticker(loop);
    ticker.handle = loop.add(ticker);
    ticker.received = &received;
    ticker.more = [&] { return closes.empty(); };

    const std::string bulk(12 * TWSocket::ReadBlockSize + 7, 'z');
    std::atomic<bool> written{false};
    std::thread writer([&] {
        test::writeAll(peer, bulk);
        ::close(peer);
        written = true;
    });
    for (int i = 0; i < 300 && !written; ++i) std::this_thread::sleep_for(10ms);
    loop.post(ticker.handle, WM_USER);
    EXPECT_TRUE(pumpUntil([&] { return !closes.empty(); }, 1000));
    writer.join();
    loop.remove(ticker.handle);

    EXPECT_EQ(closes, std::vector<std::size_t>{bulk.size()});
    EXPECT_EQ(emptyReads, 0) << "no data-available without bytes, and the end is no data";
    EXPECT_GT(ticker.widestGap, 0u);
    EXPECT_LE(ticker.widestGap, static_cast<std::size_t>(TWSocket::ReadBlockSize));
}

TEST_F(WSocketTest, LineModeJoinsALineEndSplitAcrossReads) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    socket.setLineMode(true);
    std::vector<std::string> lines;
    socket.OnDataAvailable = [&](TWSocket& s, int) { lines.push_back(s.ReceiveStr()); };
    test::writeAll(peer, "ab\r");
    EXPECT_TRUE(pumpUntil([&] { return socket.ReadCount() == 3; }));
    EXPECT_TRUE(lines.empty());
    test::writeAll(peer, "\ncd\r\n");
    EXPECT_TRUE(pumpUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"ab\r\n", "cd\r\n"}));
    EXPECT_EQ(socket.ReadCount(), 8);

    // Lines nobody asks for are dropped.
    socket.OnDataAvailable = nullptr;
    test::writeAll(peer, "dropped\r\ntail");
    EXPECT_TRUE(pumpUntil([&] { return socket.ReadCount() == 21; }));
    // Switching line mode off hands out what is buffered, from the loop.
    std::string rest;
    socket.OnDataAvailable = [&](TWSocket& s, int) { rest += s.ReceiveStr(); };
    socket.setLineMode(false);
    EXPECT_TRUE(rest.empty());
    EXPECT_TRUE(pumpUntil([&] { return rest == "tail"; }));
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
}

TEST_F(WSocketTest, LineModeEchoesAndOffersTheRestAtClose) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    socket.setLineMode(true);
    socket.setLineEcho(true);
    socket.setLineEdit(true);
    std::vector<std::string> events;
    socket.OnDataAvailable = [&](TWSocket& s, int) { events.push_back(s.ReceiveStr()); };
    socket.OnSessionClosed = [&](TWSocket&, int) { events.push_back("closed"); };
    test::writeAll(peer, "lx\bs\r\npartial");
    EXPECT_TRUE(pumpUntil([&] { return events.size() == 1; }));
    EXPECT_EQ(test::readExactly(peer, 16), "lx\b \bs\r\npartial");
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events, (std::vector<std::string>{"ls\r\n", "partial", "closed"}));
}

TEST_F(WSocketTest, ListenAcceptAndDupOverBothFamilies) {
    // Addr: what the server listens on and the client connects to; the peer's name as reported.
    for (const auto& [listenOn, connectTo, peer] :
         {std::tuple{"127.0.0.1", "127.0.0.1", "127.0.0.1"}, {"::1", "[::1]", "::1"}}) {
        TWSocket server(loop);
        server.setAddr(listenOn);
        server.setPort("0");
        TWSocket accepted(loop);
        server.OnSessionAvailable = [&](TWSocket& s, int error) {
            EXPECT_EQ(error, 0);
            accepted.Dup(s.Accept());
        };
        server.Listen();
        EXPECT_EQ(server.State(), TSocketState::wsListening);
        const std::string port = server.GetXPort();
        ASSERT_NE(port, "error");

        TWSocket client(loop);
        client.setAddr(connectTo);
        client.setPort(port);
        std::string got;
        client.OnSessionConnected = [&](TWSocket& s, int) { s.SendStr("ping"); };
        accepted.OnDataAvailable = [&](TWSocket& s, int) { got += s.ReceiveStr(); };
        client.Connect();
        EXPECT_TRUE(pumpUntil([&] { return got == "ping"; })) << peer;
        EXPECT_EQ(accepted.State(), TSocketState::wsConnected);
        EXPECT_EQ(accepted.PeerAddr(), peer);
        EXPECT_EQ(client.PeerAddr(), peer);
        EXPECT_EQ(accepted.PeerPort(), client.GetXPort());
        server.Close();
        EXPECT_EQ(server.GetXPort(), "error");
        EXPECT_THROW(server.Accept(), ESocketException);  // "not a listening socket"
    }
}

TEST_F(WSocketTest, NameLookups) {
    TWSocket socket(loop);
    std::vector<int> done;
    socket.OnDnsLookupDone = [&](TWSocket&, int error) { done.push_back(error); };
    socket.DnsLookup(" 127.0.0.1 ");
    EXPECT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    // An IPv6 literal is answered within the call too, brackets or not.
    socket.DnsLookup("[0::1]");
    EXPECT_EQ(done, (std::vector<int>{0, 0}));
    EXPECT_EQ(socket.DnsResult(), "::1");
    EXPECT_TRUE(socket.DnsResultList().empty());
    done.pop_back();

    EXPECT_THROW(socket.DnsLookup(""), ESocketException);
    socket.OnError = [](TWSocket&) {};
    socket.DnsLookup("");
    EXPECT_EQ(done, (std::vector<int>{0, 10022}));

    socket.DnsLookup("localhost");
    EXPECT_EQ(done.size(), 2u);
    socket.CancelDnsLookup();
    EXPECT_EQ(done, (std::vector<int>{0, 10022, 10004}));
    socket.DnsLookup("localhost");
    EXPECT_TRUE(pumpUntil([&] { return done.size() == 4; }));
    EXPECT_EQ(done.back(), 0);
    // Wherever /etc/hosts also names ::1, that address may come first.
    EXPECT_EQ(socket.DnsResult(), socket.DnsResultList().front());
    EXPECT_NE(std::find(socket.DnsResultList().begin(), socket.DnsResultList().end(), "127.0.0.1"),
              socket.DnsResultList().end());
    // The cancelled request's late answer never shows up.
    loop.runOnce(10ms);
    EXPECT_EQ(done.size(), 4u);

    socket.ReverseDnsLookup("127.0.0.1");
    EXPECT_TRUE(pumpUntil([&] { return done.size() == 5; }));
    EXPECT_EQ(done.back(), 0);
    EXPECT_EQ(socket.DnsResultList().size(), 1u);
    EXPECT_EQ(socket.DnsResult(), socket.DnsResultList().front());
    EXPECT_FALSE(socket.DnsResult().empty());

    socket.DnsLookup("no-such-host.invalid");
    EXPECT_TRUE(pumpUntil([&] { return done.size() == 6; }));
    EXPECT_GT(done.back(), 11000);
    EXPECT_TRUE(socket.DnsResultList().empty());

    // A socket destroyed with a look-up pending leaves nothing behind.
    auto doomed = std::make_unique<TWSocket>(loop);
    doomed->DnsLookup("localhost");
    doomed.reset();
}

TEST_F(WSocketTest, BackgroundExceptionsReachOnBgExceptionAndAbort) {
    TWSocket socket(loop);
    int peer = adopt(socket);
    socket.OnDataAvailable = [](TWSocket&, int) { throw std::runtime_error("bad data"); };
    std::string seen;
    socket.OnBgException = [&](TWSocket&, const std::exception& e, bool& canClose) {
        seen = e.what();
        canClose = seen != "keep";
        throw std::logic_error("swallowed");
    };
    test::writeAll(peer, "x");
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
    EXPECT_EQ(seen, "bad data");
    ::close(peer);

    peer = adopt(socket);
    socket.OnDataAvailable = [](TWSocket& s, int) {
        s.ReceiveStr();
        throw std::runtime_error("keep");
    };
    test::writeAll(peer, "y");
    EXPECT_TRUE(pumpUntil([&] { return seen == "keep"; }));
    EXPECT_EQ(socket.State(), TSocketState::wsConnected);
    socket.OnDataAvailable = nullptr;
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
}

TEST_F(WSocketTest, HandlersAndPumpsMayDestroyTheSocket) {
    auto socket = std::make_unique<TWSocket>(loop);
    int peer = adopt(*socket);
    socket->OnDataAvailable = [&](TWSocket&, int) { socket.reset(); };
    test::writeAll(peer, "bye");
    EXPECT_TRUE(pumpUntil([&] { return socket == nullptr; }));
    ::close(peer);

    socket = std::make_unique<TWSocket>(loop);
    peer = adopt(*socket);
    socket->OnSessionClosed = [&](TWSocket&, int) { socket.reset(); };
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket == nullptr; }));

    // Every pump returns when its socket goes meanwhile.
    for (int pump = 0; pump < 3; ++pump) {
        socket = std::make_unique<TWSocket>(loop);
        peer = adopt(*socket);
        socket->OnDataAvailable = [&](TWSocket&, int) { socket.reset(); };
        test::writeAll(peer, "go");
        bool never = false;
        if (pump == 0) {
            socket->WaitForClose();
        } else if (pump == 1) {
            socket->setSyncTimeout(10000);
            EXPECT_EQ(socket->WaitUntilReady(never), SyncWaitTimeout);
        } else {
            const int small = 4096;
            ::setsockopt(socket->handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
            socket->SendStr(std::string(1 << 20, 'f'));
            socket->Flush();
        }
        EXPECT_EQ(socket, nullptr) << "pump " << pump;
        ::close(peer);
    }

    socket = std::make_unique<TWSocket>(loop);
    TWSocket::Release(std::move(socket));
    EXPECT_EQ(TWSocket::liveCount(), 1);
    loop.processPending();
}

TEST_F(WSocketTest, SynchronousWaitsAndDelayedClose) {
    TWSocket socket(loop);
    const int peer = adopt(socket);
    bool received = false;
    socket.OnDataAvailable = [&](TWSocket& s, int) { received = !s.ReceiveStr().empty(); };
    socket.setSyncTimeout(10000);
    EXPECT_EQ(socket.Synchronize([&] { test::writeAll(peer, "now"); }, received), 0);
    bool never = false;
    socket.setSyncTimeout(5);
    EXPECT_EQ(socket.WaitUntilReady(never), 12001);

    socket.CloseDelayed();
    EXPECT_EQ(socket.State(), TSocketState::wsConnected);
    loop.processPending();
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
    ::close(peer);
}

}  // namespace
}  // namespace quillharbor
