#include "net/wsocket.h"
#include "net/loopback.h"
#include "net/name_lookup.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"
#include "platform/loop_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quillharbor {
namespace {

using namespace std::chrono_literals;
using test::raised;
using test::RawListener;
using test::writeAll;

class WSocketTest : public LoopTest {
protected:
    void TearDown() override {
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(NameLookup::instance().pendingCount(), 0u);
        LoopTest::TearDown();
    }

    // Every event of the socket as a line of text; data is read as it comes.
    void record(TWSocket& socket) {
        socket.OnSessionClosed = [this](TWSocket&, int error) {
            events.push_back("closed " + std::to_string(error));
        };
        socket.OnDataAvailable = [this](TWSocket& s, int) {
            if (const std::string data = s.ReceiveStr(); !data.empty())
                events.push_back("data " + data);
        };
    }
    // One end of a socket pair adopted by `socket`; the other end is returned.
    static int adopt(TWSocket& socket) {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends);
        socket.Dup(ends[0]);
        return ends[1];
    }
    // What the socket sent the peer, with the loop running meanwhile.
    std::string receive(int peer, std::size_t count) {
        std::string out;
        runUntil([&] { return (out += test::readAvailable(peer)).size() >= count; });
        return out;
    }
    // The events so far, parted by ", ".
    std::string seen() const {
        std::string text;
        for (const std::string& event : events) text += (text.empty() ? "" : ", ") + event;
        return text;
    }
    bool closed(TWSocket& socket) {
        return runUntil([&] { return socket.State() == TSocketState::wsClosed; });
    }

    std::vector<std::string> events;
};

TEST_F(WSocketTest, MisuseRaisesOrReportsAndEveryCloseResetsTheSession) {
    TWSocket socket(loop);
    EXPECT_EQ(socket.GetXPort(), "error");
    EXPECT_EQ(raised([&] { socket.Accept(); }),
              "Error 10022 in function not a listening socket\r\nInvalid argument");
    EXPECT_EQ(raised([&] { socket.SendStr("x"); }),
              "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_THROW(socket.setSocksLevel("6"), ESocketException);
    socket.setSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(socket.SocksServer(), "127.0.0.1");
    socket.setAddr("0.0.0.0");
    socket.setPort("0");
    EXPECT_EQ(raised([&] { socket.Listen(); }), "Listening is not supported thru socks server");
    socket.setProto("udp");
    EXPECT_EQ(raised([&] { socket.Connect(); }),
              "tcp is the only protocol supported thru socks server");
    socket.setProto("TCP");
    socket.setSocksServer("");
    int errors = 0;
    socket.OnError = [&](TWSocket&) { ++errors; };
    EXPECT_EQ(socket.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10057);
    socket.OnError = nullptr;

    RawListener listener;
    std::vector<std::string> states;
    socket.OnChangeState = [&](TWSocket&, TSocketState, TSocketState now) {
        states.push_back(toString(now));
    };
    socket.setAddr("127.0.0.1");
    socket.setPort(listener.portText());
    socket.Connect();
    const int peer = listener.accept();
    EXPECT_TRUE(runUntil([&] { return socket.State() == TSocketState::wsConnected; }));
    EXPECT_EQ(states, (std::vector<std::string>{"wsOpened", "wsConnecting", "wsConnected"}));
    EXPECT_EQ(socket.PeerAddr() + ":" + socket.PeerPort(), "127.0.0.1:" + listener.portText());
    EXPECT_EQ(socket.SendStr(""), 0);
    socket.Close();
    ::close(peer);
    EXPECT_EQ(raised([&] { socket.Connect(); }), "Connect: No Port Specified");
    socket.setPort(listener.portText());
    EXPECT_EQ(raised([&] { socket.Connect(); }), "Connect: No IP Address Specified");
    // The same text assigned again counts as assigned.
    socket.setAddr("127.0.0.1");
    socket.Connect();
    EXPECT_EQ(socket.State(), TSocketState::wsConnecting);
    ::close(listener.accept());
    EXPECT_THROW(socket.setAddr("10.0.0.1"), ESocketException);
}

TEST_F(WSocketTest, ClosesAreReportedOnceAfterTheLastData) {
    TWSocket socket(loop);
    record(socket);
    int peer = adopt(socket);
    writeAll(peer, "last words");
    ::close(peer);
    EXPECT_TRUE(closed(socket));
    loop.runOnce(10ms);
    socket.Close();
    socket.Abort();
    EXPECT_EQ(seen(), "data last words, closed 0");

    events.clear();
    peer = adopt(socket);
    socket.Close();
    socket.Close();
    EXPECT_EQ(seen(), "closed 0");
    ::close(peer);

    // A peer's reset ends the session on send; the first send may still be taken by the system.
    events.clear();
    ::close(adopt(socket));
    for (int i = 0; i < 3 && socket.State() == TSocketState::wsConnected; ++i)
        socket.SendStr(std::string(100000, 'x'));
    runUntil([&] { return !events.empty(); });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0] == "closed 0" || events[0] == "closed 10054") << events[0];
}

TEST_F(WSocketTest, LineModeJoinsSplitLineEndsEchoesAndHandsOutTheRest) {
    TWSocket socket(loop);
    int peer = adopt(socket);
    socket.setLineMode(true);
    record(socket);
    writeAll(peer, "ab\r");
    EXPECT_TRUE(runUntil([&] { return socket.ReadCount() == 3; }));
    writeAll(peer, "\ncd\r\n");
    EXPECT_TRUE(runUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(socket.ReadCount(), 8);
    // Lines nobody asks for are dropped; switching line mode off hands out the rest from the loop.
    socket.OnDataAvailable = nullptr;
    writeAll(peer, "dropped\r\ntail");
    EXPECT_TRUE(runUntil([&] { return socket.ReadCount() == 21; }));
    record(socket);
    socket.setLineMode(false);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_TRUE(runUntil([&] { return events.size() == 3; }));
    ::close(peer);
    EXPECT_TRUE(closed(socket));
    EXPECT_EQ(seen(), "data ab\r\n, data cd\r\n, data tail, closed 0");

    events.clear();
    peer = adopt(socket);
    socket.setLineMode(true);
    socket.setLineEcho(true);
    socket.setLineEdit(true);
    writeAll(peer, "lx\bs\r\npartial");
    EXPECT_TRUE(runUntil([&] { return events.size() == 1; }));
    EXPECT_EQ(receive(peer, 15), "lx\b \bs\r\npartial");
    ::close(peer);
    EXPECT_TRUE(runUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(seen(), "data ls\r\n, data partial, closed 0");
}

TEST_F(WSocketTest, NameLookups) {
    TWSocket socket(loop);
    std::vector<int> done;
    socket.OnDnsLookupDone = [&](TWSocket&, int error) { done.push_back(error); };
    // Literals are answered within the call, an IPv6 one with brackets or not.
    socket.DnsLookup(" 127.0.0.1 ");
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    socket.DnsLookup("[0::1]");
    EXPECT_EQ(done, (std::vector<int>{0, 0}));
    EXPECT_EQ(socket.DnsResult(), "::1");
    EXPECT_THROW(socket.DnsLookup(""), ESocketException);
    socket.OnError = [](TWSocket&) {};
    socket.DnsLookup("");
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    EXPECT_EQ(done, (std::vector<int>{0, 0, 10022, 10004}));
    socket.DnsLookup("localhost");
    EXPECT_TRUE(runUntil([&] { return done.size() == 5; }));
    EXPECT_EQ(done.back(), 0);
    // Wherever /etc/hosts also names ::1, that address may come first.
    const auto& list = socket.DnsResultList();
    EXPECT_EQ(socket.DnsResult(), list.front());
    EXPECT_NE(std::find(list.begin(), list.end(), "127.0.0.1"), list.end());
    loop.runOnce(10ms);
    EXPECT_EQ(done.size(), 5u) << "the cancelled request's late answer never shows up";
    socket.ReverseDnsLookup("127.0.0.1");
    EXPECT_TRUE(runUntil([&] { return done.size() == 6; }));
    EXPECT_EQ(done.back(), 0);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_FALSE(socket.DnsResult().empty());
    socket.DnsLookup("no-such-host.invalid");
    EXPECT_TRUE(runUntil([&] { return done.size() == 7; }));
    EXPECT_GT(done.back(), 11000);
    EXPECT_TRUE(list.empty());
    // A socket destroyed with a look-up pending leaves nothing behind.
    std::make_unique<TWSocket>(loop)->DnsLookup("localhost");
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
    writeAll(peer, "x");
    EXPECT_TRUE(closed(socket));
    EXPECT_EQ(seen, "bad data");
    ::close(peer);
    peer = adopt(socket);
    socket.OnDataAvailable = [](TWSocket& s, int) {
        s.ReceiveStr();
        throw std::runtime_error("keep");
    };
    writeAll(peer, "y");
    EXPECT_TRUE(runUntil([&] { return seen == "keep"; }));
    EXPECT_EQ(socket.State(), TSocketState::wsConnected);
    socket.OnDataAvailable = nullptr;
    ::close(peer);
    EXPECT_TRUE(closed(socket));
}

TEST_F(WSocketTest, HandlersAndPumpsMayDestroyTheSocket) {
    std::unique_ptr<TWSocket> socket;
    // 0, 1: a data or close handler; 2-4: each pump returns when its socket goes meanwhile.
    for (int way = 0; way < 5; ++way) {
        socket = std::make_unique<TWSocket>(loop);
        const int peer = adopt(*socket);
        socket->OnDataAvailable = [&](TWSocket&, int) { socket.reset(); };
        socket->OnSessionClosed = [&](TWSocket&, int) { socket.reset(); };
        if (way == 1)
            ::shutdown(peer, SHUT_WR);
        else
            writeAll(peer, "go");
        bool never = false;
        if (way == 2) {
            socket->WaitForClose();
        } else if (way == 3) {
            socket->setSyncTimeout(10000);
            EXPECT_EQ(socket->WaitUntilReady(never), SyncWaitTimeout);
        } else if (way == 4) {
            const int small = 4096;
            ::setsockopt(socket->handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
            socket->SendStr(std::string(1 << 20, 'f'));
            socket->Flush();
        }
        EXPECT_TRUE(way >= 2 ? socket == nullptr : runUntil([&] { return socket == nullptr; }))
            << "way " << way;
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
    EXPECT_EQ(socket.Synchronize([&] { writeAll(peer, "now"); }, received), 0);
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
