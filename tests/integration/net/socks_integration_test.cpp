// The socket through real SOCKS servers on loopback: Dante (SOCKS 4 and 5, with and without user
// name and password), microsocks (SOCKS 5 with user name and password), and a scripted server for
// SOCKS 4A. Every successful case reaches an echo server through the proxy and checks the bytes
// coming back.

#include <gtest/gtest.h>

#include "net/http_servers.h"
#include "net/socket_error.h"
#include "net/socks_negotiator.h"
#include "net/wsocket.h"

namespace quillharbor::test {
namespace {

constexpr const char* User = "qhsockstest";
constexpr const char* Password = "s0cks-pass";
const std::string Hello = "hello through socks\r\n";

// The proxy of a row's name, 0 when it did not start. Dante runs as root here (CI does too) and
// checks passwords against system accounts.
std::uint16_t proxy(const std::string& name) {
    LoopbackServers& servers = LoopbackServers::instance();
    if (name == "microsocks")
        return servers.start(name, {"/usr/bin/microsocks", "-i", "127.0.0.1", "-u", User, "-P",
                                    Password, "-p", "PORT"});
    if (name == "scripted")
        return servers.start(name, LoopbackServers::script("socks_scripted.py"));
    const bool login = name == "dante-auth";
    std::vector<std::string> args{"dante", made(servers.work / name), login ? "username" : "none"};
    if (login)
        args.insert(args.end(), {User, Password});
    return servers.start(name, LoopbackServers::script("proxy_servers.py", args));
}

struct Outcome {
    int connected = -1;
    std::string socksError;
    std::string echoed;
    int closed = 0;
};

// Connects through the SOCKS server to destination:port, sends payload and collects the echo.
Outcome exchange(std::uint16_t proxyPort, const std::string& level, const char* password,
                 const std::string& payload, const std::string& destination, std::uint16_t port) {
    MessageLoop loop;
    TWSocket socket(loop);
    Outcome outcome;
    socket.setSocksServer("127.0.0.1");
    socket.setSocksPort(std::to_string(proxyPort));
    socket.setSocksLevel(level);
    if (password != nullptr) {
        socket.setSocksAuthentication(TSocksAuthentication::socksAuthenticateUsercode);
        socket.setSocksUsercode(User);
        socket.setSocksPassword(password);
    }
    socket.setAddr(destination);
    socket.setPort(std::to_string(port));
    socket.OnSocksError = [&](TWSocket&, int code, const std::string& msg) {
        outcome.socksError = std::to_string(code) + " " + msg;
    };
    socket.OnSessionConnected = [&](TWSocket& s, int error) {
        outcome.connected = error;
        if (error == 0)
            s.SendStr(payload);
    };
    socket.OnDataAvailable = [&](TWSocket& s, int) {
        outcome.echoed += s.ReceiveStr();
        if (outcome.echoed.size() >= payload.size())
            s.Close();
    };
    socket.OnSessionClosed = [&](TWSocket&, int) { ++outcome.closed; };
    socket.Connect();
    for (int i = 0; i < 500 && outcome.closed == 0; ++i)
        loop.runOnce(std::chrono::milliseconds(20));
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
    return outcome;
}

// Each row goes through its proxy to the echo server, or fails with the proxy's SOCKS code.
TEST(SocksIntegration, ExchangesAndRefusalsThroughEachServer) {
    const std::uint16_t echo =
        LoopbackServers::instance().start("echo", LoopbackServers::script("echo_server.py"));
    ASSERT_NE(echo, 0);
    const struct {
        const char* proxy;
        const char* level;
        const char* password;  // nullptr: no authentication offered
        std::string payload;
        const char* destination;
        const char* socksError = "";  // and its code as the connect's error
    } rows[] = {
        // An IPv6 destination goes as its address, and Dante's reply names an IPv6 address.
        {"dante", "5", nullptr, Hello, "127.0.0.1"},
        {"dante", "5", nullptr, Hello, "::1"},
        // Dante cannot reach a port nobody listens on.
        {"dante", "5", nullptr, Hello, "closed port", "20008 connection refused"},
        {"dante", "4", nullptr, std::string(200000, 'z'), "127.0.0.1"},
        {"dante-auth", "5", Password, Hello, "127.0.0.1"},
        {"microsocks", "5", Password, std::string(70000, 'm') + "\r\n", "127.0.0.1"},
        {"scripted", "4A", nullptr, Hello, "localhost"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.proxy) + " " + row.level + " " + row.destination);
        const std::uint16_t port = proxy(row.proxy);
        ASSERT_NE(port, 0);
        const bool closed = std::string(row.destination) == "closed port";
        const Outcome outcome =
            exchange(port, row.level, row.password, row.payload,
                     closed ? "127.0.0.1" : row.destination, closed ? freePort() : echo);
        EXPECT_EQ(outcome.connected, closed ? SocksConnectionRefused : 0) << outcome.socksError;
        EXPECT_EQ(outcome.socksError, row.socksError);
        EXPECT_TRUE(outcome.echoed == (closed ? "" : row.payload))
            << outcome.echoed.size() << " bytes came back";
        EXPECT_EQ(outcome.closed, 1);
        EXPECT_EQ(TWSocket::liveCount(), 0);
    }
}

}  // namespace
}  // namespace quillharbor::test
