// The socket and its parts: error codes, name resolution, the buffer and the SOCKS negotiation
// on their own, then the socket over socket pairs and loopback connections.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "net/buffer.h"
#include "net/loopback.h"
#include "net/name_lookup.h"
#include "net/name_resolution.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"
#include "net/socks_negotiator.h"
#include "net/wsocket.h"
#include "platform/loop_fixture.h"

namespace quillharbor {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Strings = std::vector<std::string>;
using test::raised;
using test::RawListener;
using test::writeAll;

TEST(SocketError, CodesAndTexts) {
    EXPECT_EQ(socketErrorText(10057, "Send"),
              "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(socketErrorDesc(0) + "|" + socketErrorDesc(10061) + "|" + socketErrorDesc(11004) +
                  "|" + socketErrorDesc(10000) + "|" + socketErrorDesc(WSASYSCALLFAILURE),
              "No Error|Connection refused|No Data|Not a WinSock error|Not a WinSock error");
    // Whatever has no counterpart still lands above 10000, where the engine retries.
    std::string mapped;
    for (const int error : {0, EAGAIN, ECONNREFUSED, ECONNRESET, EPIPE, ENOTCONN, ETIMEDOUT,
                            ENETUNREACH, EAFNOSUPPORT, ENODEV, EIO})
        mapped += std::to_string(socketErrorFromErrno(error)) + " ";
    EXPECT_EQ(mapped, "0 10035 10061 10054 10054 10057 10060 10051 10047 10049 10107 ");
    EXPECT_EQ(std::to_string(socketErrorFromAddrInfo(EAI_NONAME)) + " " +
                  std::to_string(socketErrorFromAddrInfo(EAI_AGAIN)) + " " +
                  std::to_string(socketErrorFromAddrInfo(EAI_FAIL)),
              "11001 11002 11003");
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(NameResolution, AddressesOfBothFamilies) {
    EXPECT_EQ(parseDottedAddress(" 10.0.0.255 "), htonl(0x0a0000ff));
    EXPECT_EQ(parseDottedAddress("255.255.255.255"), 0xffffffffu);
    for (const char* bad : {"", ".1.2.3", "1.2.3", "1.2.3.4.5", "1.2.3.", "1..2.3", "256.1.1.1",
                            "1.2.3.4x", "1.2.3.4 5", "a.b.c.d"})
        EXPECT_FALSE(parseDottedAddress(bad)) << bad;
    EXPECT_EQ(dottedAddress(htonl(0xc0a80001)), "192.168.0.1");
    // The normal text and the family of each, "-" where it is no address literal.
    std::string parsed;
    for (const char* text : {" 10.0.0.1 ", "::1", "[::1]", "0:0:0:0:0:0:0:1", "[2001:DB8::A]",
                             "::ffff:127.0.0.1", "example.org", "1.2.3", "[::1", ":::1"}) {
        const auto address = SocketAddress::parse(text);
        parsed += address ? address->text() + "/" + std::to_string(address->family()) + " " : "- ";
    }
    EXPECT_EQ(parsed,
              "10.0.0.1/2 ::1/10 ::1/10 ::1/10 2001:db8::a/10 ::ffff:127.0.0.1/10 - - - - ");
    EXPECT_EQ(SocketAddress::parse("::ffff:10.1.2.3")->unmapped().text(), "10.1.2.3");
    EXPECT_EQ(WSocketResolveAddress("[::1]").text(), "::1");
    // A name's addresses are tried alternating the families from the first one's.
    const auto tried = [](const Strings& found) {
        std::string order;
        for (const std::string& address : alternateFamilies(found)) order += address + " ";
        return order;
    };
    EXPECT_EQ(tried({"::1", "::2", "10.0.0.1", "10.0.0.2"}), "::1 10.0.0.1 ::2 10.0.0.2 ");
    EXPECT_EQ(tried({"1.0.0.1", "1.0.0.2", "::1", "::2", "::3"}), "1.0.0.1 ::1 1.0.0.2 ::2 ::3 ");
    EXPECT_EQ(tried({"1.0.0.1", "1.0.0.1", "::1", "::1"}), "1.0.0.1 ::1 ");
    EXPECT_EQ(tried({"::1"}) + tried({}), "::1 ");
}

TEST(NameResolution, HelpersRaiseTheirOwnTexts) {
    EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolvePort("8080abc", "tcp"), 8080);
    EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto("17"), 17);
    EXPECT_EQ(raised([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(raised([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("70000", "tcp"); }),
              "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("no-such-service", "tcp"); }),
              "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");
    EXPECT_EQ(raised([] { WSocketResolveProto(std::string(32, 'x')); }),
              "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(raised([] { WSocketResolveProto("nonsense"); }),
              "WSocketResolveProto: Cannot convert protocol 'nonsense', Error #11004");
    EXPECT_TRUE(raised([] { WSocketResolveHost("no-such-host.invalid"); })
                    .starts_with("WSocketResolveHost: Cannot convert host address "
                                 "'no-such-host.invalid', Error #110"));
}

// Writes, reads and chains are the socket's every send; a resize is the buffer's own.
TEST(TBuffer, KeepsUnreadBytesOnResize) {
    TBuffer buffer(8);
    EXPECT_EQ(buffer.write("abcdefghij", 10), 8);
    buffer.remove(2);
    buffer.setSize(16);
    EXPECT_EQ(buffer.write("klmnopqrstuvwxyz", 16), 10);
    buffer.setSize(3);
    int length = 0;
    const char* kept = buffer.peek(length);
    EXPECT_EQ(std::string(kept, static_cast<std::size_t>(length)), "cde");
}

// A negotiation toward `host` port 8080 begun and started; SOCKS 4 goes to 10.0.0.1 as "bob", and
// a password makes "bob" authenticate.
SocksStep start(SocksNegotiator& socks, const std::string& level, const std::string& host = "h",
                const std::string& password = "") {
    SocksRequest r;
    r.level = level;
    r.host = host;
    r.port = 8080;
    r.address = htonl(0x0a000001);
    r.usercode = level == "5" ? "" : "bob";
    if (!password.empty()) {
        r.authentication = TSocksAuthentication::socksAuthenticateUsercode;
        r.usercode = "bob";
        r.password = password;
    }
    socks.begin(r);
    return socks.start();
}

// Replies parted by "|", fed one after the other; the last step.
SocksStep feed(SocksNegotiator& socks, const std::string& replies) {
    std::istringstream in(replies);
    SocksStep step;
    for (std::string reply; std::getline(in, reply, '|');) step = socks.feed(reply);
    return step;
}

// Each row: what the client sends and the server's replies by turns, parted by "|"; the last
// reply is cut at every byte. Bytes behind the last reply belong to the owner.
TEST(SocksNegotiator, ConnectsAndHandsOutTrailingBytesWhereverTheLastReplyIsCut) {
    const std::string ip6 = std::string(15, '\0') + "\x01";
    const std::string bound = "\x05\x00\x00\x01\x7f\x00\x00\x01\x04\xd2"s;
    const std::string plain = "\x05\x01\x00|\x05\x00|\x05\x01\x00"s;  // no authentication
    const struct {
        std::string level, host, password, turns;
        std::string outcome;  // the authentication states, then the bound address
    } rows[] = {
        // A dotted address goes as a name too.
        {"5", "10.1.2.3", "", plain + "\3\b10.1.2.3\x1f\x90|"s + bound, "127.0.0.1:1234"},
        {"5", "::1", "", plain + "\4" + ip6 + "\x1f\x90|\x05\0\0\4"s + ip6 + "\4\xd2", "::1:1234"},
        {"5", "[::1]", "", plain + "\4" + ip6 + "\x1f\x90|\5\0\0\3\tproxy.lan\0P"s, "proxy.lan:80"},
        {"5", "h", "secret", "\5\1\2|\5\2|\1\3bob\6secret|\1\0|\5\1\0\3\1h\x1f\x90|"s + bound,
         "01127.0.0.1:1234"},
        // A server that needs no authentication although it was offered.
        {"5", "h", "secret", "\5\1\2|\5\0|\5\1\0\3\1h\x1f\x90|"s + bound, "3127.0.0.1:1234"},
        {"4", "h", "", "\4\1\x1f\x90\n\0\0\1bob\0|\0\x5a\0\x15\n\0\0\1"s, "10.0.0.1:21"},
        // SOCKS 4A leaves the name to the server.
        {"4A", "h", "", "\4\1\x1f\x90\0\0\0\1bob\0h\0|\0\x5a\0\x15\n\0\0\1"s, "10.0.0.1:21"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> turns;
        std::istringstream in(row.turns);
        for (std::string turn; std::getline(in, turn, '|');) turns.push_back(turn);
        const std::string last = turns.back() + "DATA";
        for (std::size_t cut = 0; cut <= last.size(); ++cut) {
            SocksNegotiator socks;
            SocksStep step = start(socks, row.level, row.host, row.password);
            std::string outcome;
            for (std::size_t i = 0; i + 1 < turns.size(); i += 2) {
                ASSERT_EQ(step.send, turns[i]) << row.host << " turn " << i;
                step = socks.feed(i + 2 < turns.size() ? turns[i + 1] : last.substr(0, cut));
                for (const TSocksAuthState state : step.authStates)
                    outcome += std::to_string(static_cast<int>(state));
            }
            const std::string early =
                step.connected ? step.applicationBytes + last.substr(cut) : "";
            if (!step.connected)
                step = socks.feed(last.substr(cut));
            ASSERT_TRUE(step.connected) << row.host << " cut at " << cut;
            EXPECT_EQ(early.empty() ? step.applicationBytes : early, "DATA");
            EXPECT_EQ(outcome + socks.boundAddr() + ":" + socks.boundPort(), row.outcome);
            EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::None);
        }
    }
}

TEST(SocksNegotiator, EveryFailureHasItsCodeAndText) {
    const std::string z6(6, '\0');
    const struct {
        std::string level, replies;  // replies parted by "|"; the last one fails
        std::string failure, host = "h", password = "";
    } rows[] = {
        {"4", "\x01\x5a"s + z6, "20002 socks version error"},
        {"4", "\x00\x5b"s + z6, "20016 request rejected or failed"},
        {"4", "\x00\x5c"s + z6, "20008 connection refused"},
        {"4", "\x00\x5d"s + z6, "20015 authentification failed"},
        {"4A", "\x00\x63"s + z6, "20012 unassigned error #99"},
        {"5", "\x05\x00|\x04\x00"s, "20002 socks version error"},
        {"5", "\x05\x00|\x05\x01"s, "20004 general SOCKS server failure"},
        {"5", "\x05\x00|\x05\x02"s, "20005 connection not allowed by ruleset"},
        {"5", "\x05\x00|\x05\x03"s, "20006 network unreachable"},
        {"5", "\x05\x00|\x05\x04"s, "20007 host unreachable"},
        {"5", "\x05\x00|\x05\x05"s, "20008 connection refused"},
        {"5", "\x05\x00|\x05\x06"s, "20009 time to live expired"},
        {"5", "\x05\x00|\x05\x07"s, "20010 command not supported"},
        {"5", "\x05\x00|\x05\x08"s, "20011 address type not supported"},
        {"5", "\x05\x00|\x05\x09"s, "20012 unassigned error #9"},
        {"5", "\x05\x00|\x05\x00\x00\x05"s, "20011 address type not supported"},
        {"5", "\x04\x00"s, "20002 socks version error", "h", "p"},
        {"5", "\x05\xff"s, "20003 authentification method not acceptable", "h", "p"},
        {"5", "\x05\x02|\x02\x00"s, "20002 socks version error", "h", "p"},
        {"5", "\x05\x02|\x01\x01"s, "20015 socks authentication failed", "h", "p"},
        {"5", "\x05\x02|\x01\x00\x00"s, "20001 too much data availaible", "h", "p"},
        // Fields too long for their length byte fail rather than being cut.
        {"5", "\x05\x00"s, "20011 address type not supported", std::string(256, 'h')},
        {"5", "\x05\x02"s, "20015 socks authentication failed", "h", std::string(300, 'p')},
    };
    for (const auto& row : rows) {
        SocksNegotiator socks;
        start(socks, row.level, row.host, row.password);
        const SocksStep step = feed(socks, row.replies);
        EXPECT_EQ(std::to_string(step.errorCode) + " " + step.errorText, row.failure);
        EXPECT_FALSE(step.connected);
    }
    // Nothing is expected before the negotiation, nor a method reply from a SOCKS 4 server.
    EXPECT_EQ(SocksNegotiator().feed("x").errorCode, SocksInternalError);
    SocksNegotiator four;
    SocksRequest request;
    request.level = "4";
    four.begin(request);
    EXPECT_EQ(four.feed("\x00"s).errorText, "TWSocket logic error");
}

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
