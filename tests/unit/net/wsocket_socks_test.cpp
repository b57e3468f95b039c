#include "net/socket_exception.h"
#include "net/wsocket.h"

#include "net/loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace quillharbor {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using test::RawListener;

// The test plays the SOCKS server on a plain listening socket, between steps of the loop.
class WSocketSocksTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }

    template <typename Done>
    bool pumpUntil(Done done, int rounds = 200) {
        for (int i = 0; i < rounds && !done(); ++i) loop.runOnce(20ms);
        return done();
    }

    // What the socket sends the server, with the loop running meanwhile.
    std::string receive(int peer, std::size_t count) {
        std::string out;
        pumpUntil([&] {
            out += test::readAvailable(peer);
            return out.size() >= count;
        });
        return out;
    }

    void record(TWSocket& socket) {
        socket.OnSocksConnected = [&](TWSocket&, int error) {
            events.push_back("socks connected " + std::to_string(error));
        };
        socket.OnSocksAuthState = [&](TWSocket&, TSocksAuthState state) {
            events.push_back("auth " + std::to_string(static_cast<int>(state)));
        };
        socket.OnSocksError = [&](TWSocket&, int error, const std::string& msg) {
            events.push_back("socks error " + std::to_string(error) + " " + msg);
        };
        socket.OnSessionConnected = [&](TWSocket&, int error) {
            events.push_back("connected " + std::to_string(error));
        };
        socket.OnSessionClosed = [&](TWSocket&, int error) {
            events.push_back("closed " + std::to_string(error));
        };
        socket.OnDataSent = [&](TWSocket&, int) { events.push_back("sent"); };
        socket.OnDataAvailable = [&](TWSocket& s, int) {
            events.push_back("data " + s.ReceiveStr());
        };
    }

    // Starts a connect through `server` and returns the server's end of it.
    int connectThrough(TWSocket& socket, RawListener& server, const std::string& level,
                       bool authenticate = false, const std::string& host = "dest.example") {
        socket.setSocksServer("127.0.0.1");
        socket.setSocksPort(server.portText());
        socket.setSocksLevel(level);
        if (authenticate) {
            socket.setSocksAuthentication(TSocksAuthentication::socksAuthenticateUsercode);
            socket.setSocksUsercode("user");
            socket.setSocksPassword("pass");
        }
        socket.setAddr(host);
        socket.setPort("4321");
        record(socket);
        socket.Connect();
        return server.accept();
    }

    MessageLoop loop;
    std::vector<std::string> events;
};

TEST_F(WSocketSocksTest, Socks5WithAuthenticationHandsTrailingBytesOutFirst) {
    RawListener server;
    TWSocket socket(loop);
    const int peer = connectThrough(socket, server, "5", true);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(receive(peer, 3), "\x05\x01\x02"s);
    // The owner may not send before the session is reported connected.
    socket.OnError = [](TWSocket&) {};
    test::writeAll(peer, "\x05\x02"s);
    EXPECT_EQ(receive(peer, 11), "\x01\x04user\x04pass"s);
    test::writeAll(peer, "\x01\x00"s);
    EXPECT_EQ(receive(peer, 7 + 12), "\x05\x01\x00\x03\x0c"s + "dest.example" + "\x10\xe1"s);
    test::writeAll(peer, "\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50welcome"s);
    EXPECT_TRUE(pumpUntil([&] { return events.size() >= 5; }));
    EXPECT_EQ(events, (std::vector<std::string>{"socks connected 0", "auth 0", "auth 1",
                                                "connected 0", "data welcome"}));
    EXPECT_EQ(socket.socksBoundAddr(), "127.0.0.1");
    EXPECT_EQ(socket.socksBoundPort(), "80");

    // From here on the connection carries the owner's bytes unchanged.
    socket.SendStr("request");
    EXPECT_EQ(receive(peer, 7), "request");
    test::writeAll(peer, "reply");
    EXPECT_TRUE(pumpUntil([&] { return events.back() == "data reply"; }));
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return events.back() == "closed 0"; }));
}

TEST_F(WSocketSocksTest, Socks4ASendsTheName) {
    RawListener server;
    TWSocket socket(loop);
    const int peer = connectThrough(socket, server, "4a");
    EXPECT_EQ(socket.SocksLevel(), "4A");
    EXPECT_EQ(receive(peer, 9 + 13),
              "\x04\x01\x10\xe1\x00\x00\x00\x01\x00"s + "dest.example" + "\x00"s);
    test::writeAll(peer, "\x00\x5a\x00\x00\x00\x00\x00\x00"s);
    EXPECT_TRUE(pumpUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"socks connected 0", "connected 0"}));
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
}

TEST_F(WSocketSocksTest, FailureReportsErrorThenConnectedThenClosedWithTheCode) {
    RawListener server;
    TWSocket socket(loop);
    const int peer = connectThrough(socket, server, "5");
    EXPECT_EQ(receive(peer, 3), "\x05\x01\x00"s);
    test::writeAll(peer, "\x05\x00"s);
    receive(peer, 19);
    test::writeAll(peer, "\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00"s);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
    EXPECT_EQ(events,
              (std::vector<std::string>{"socks connected 0", "socks error 20008 connection refused",
                                        "connected 20008", "closed 20008"}));
    // A close resets the SOCKS settings with the others.
    EXPECT_EQ(socket.SocksServer(), "");
    EXPECT_EQ(socket.SocksLevel(), "5");
    ::close(peer);
}

TEST_F(WSocketSocksTest, AServerHangingUpDuringAuthenticationFailsTheConnect) {
    RawListener server;
    TWSocket socket(loop);
    const int peer = connectThrough(socket, server, "5", true);
    receive(peer, 3);
    test::writeAll(peer, "\x05\x02"s);
    receive(peer, 11);
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
    EXPECT_EQ(events, (std::vector<std::string>{"socks connected 0", "auth 0",
                                                "socks error 10053 data receive error",
                                                "connected 10053", "auth 2", "closed 10053"}));
}

TEST_F(WSocketSocksTest, SettingsAreCheckedAndListeningIsRefused) {
    TWSocket socket(loop);
    EXPECT_THROW(socket.setSocksLevel("6"), ESocketException);
    socket.setSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(socket.SocksServer(), "127.0.0.1");
    socket.setAddr("0.0.0.0");
    socket.setPort("0");
    try {
        socket.Listen();
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Listening is not supported thru socks server");
    }
    socket.setProto("udp");
    try {
        socket.Connect();
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "tcp is the only protocol supported thru socks server");
    }
    RawListener server;
    socket.setProto("TCP");
    const int peer = connectThrough(socket, server, "5");
    EXPECT_THROW(socket.setSocksServer("other"), ESocketException);
    EXPECT_THROW(socket.setSocksLevel("4"), ESocketException);
    ::close(peer);
    EXPECT_TRUE(pumpUntil([&] { return socket.State() == TSocketState::wsClosed; }));
}

}  // namespace
}  // namespace quillharbor
