// The socket through real SOCKS servers on loopback: Dante (SOCKS 4 and 5, with and without user
// name and password), microsocks (SOCKS 5 with user name and password), and a scripted server for
// SOCKS 4A and for failure replies. Every successful case reaches an echo server through the
// proxy and checks the bytes coming back.

#include "net/server_process.h"

#include "net/socket_error.h"
#include "net/socks_negotiator.h"
#include "net/wsocket.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace quillharbor {
namespace {

using namespace std::chrono_literals;
using test::ServerProcess;

constexpr const char* Python = "/usr/bin/python3";
constexpr const char* Danted = "/usr/sbin/danted";
constexpr const char* Microsocks = "/usr/bin/microsocks";
constexpr const char* User = "qhsockstest";
constexpr const char* Password = "s0cks-pass";

struct Server {
    std::unique_ptr<ServerProcess> process;
    std::uint16_t port = 0;
    bool running = false;
};

class SocksIntegration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/quillharbor-socks-XXXXXX";
        s_workdir = ::mkdtemp(pattern);
    }

    static void TearDownTestSuite() {
        for (Server* server : {&s_echo, &s_scripted, &s_refusing5, &s_rejecting4, &s_dante,
                               &s_danteAuth, &s_microsocks})
            server->process.reset();
        std::system(("rm -rf " + s_workdir).c_str());
    }

    // Each test program runs one test under CTest: servers start when a test first needs them.
    static Server& echo() {
        return ensure(s_echo, "echo", {Python, test::serverScript("echo_server.py")});
    }
    static Server& scripted(Server& slot, const std::string& mode) {
        std::string name = "scripted-" + mode;
        std::replace(name.begin(), name.end(), ':', '-');
        return ensure(slot, name, {Python, test::serverScript("socks_scripted.py")}, {mode});
    }
    static Server& dante(bool authenticate) {
        // Dante runs as root here (CI does too) and checks passwords against system accounts.
        const std::string dir = s_workdir + (authenticate ? "/auth" : "/open");
        ::mkdir(dir.c_str(), 0755);
        if (authenticate)
            return ensure(s_danteAuth, "dante-auth", {Python, test::serverScript("socks_dante.py")},
                          {dir, "username", User, Password});
        return ensure(s_dante, "dante", {Python, test::serverScript("socks_dante.py")},
                      {dir, "none"});
    }
    static Server& microsocks() {
        return ensure(s_microsocks, "microsocks",
                      {Microsocks, "-i", "127.0.0.1", "-u", User, "-P", Password, "-p"});
    }

    static Server& ensure(Server& slot, const std::string& name,
                          const std::vector<std::string>& argv,
                          const std::vector<std::string>& after = {}) {
        if (!slot.process)
            slot = start(name, argv, after);
        return slot;
    }

    // Starts a server on a free port; the port goes right after `argv`, then `after`.
    static Server start(const std::string& name, std::vector<std::string> argv,
                        const std::vector<std::string>& after = {}) {
        Server server;
        server.port = test::freePort();
        argv.push_back(std::to_string(server.port));
        argv.insert(argv.end(), after.begin(), after.end());
        server.process = std::make_unique<ServerProcess>();
        server.running = server.process->start(argv, server.port, s_workdir + "/" + name + ".log");
        return server;
    }

    void TearDown() override { EXPECT_EQ(TWSocket::liveCount(), 0); }

    struct Outcome {
        int connected = -1;
        std::string socksError;
        std::string echoed;
        int closed = 0;
    };

    // Connects through the SOCKS server to the echo server, sends `payload` and collects the echo.
    Outcome exchange(const Server& proxy, const std::string& level, bool authenticate,
                     const std::string& password = Password,
                     const std::string& payload = "hello through socks\r\n",
                     const std::string& destination = "127.0.0.1") {
        MessageLoop loop;
        TWSocket socket(loop);
        Outcome outcome;
        socket.setSocksServer("127.0.0.1");
        socket.setSocksPort(std::to_string(proxy.port));
        socket.setSocksLevel(level);
        if (authenticate) {
            socket.setSocksAuthentication(TSocksAuthentication::socksAuthenticateUsercode);
            socket.setSocksUsercode(User);
            socket.setSocksPassword(password);
        }
        socket.setAddr(destination);
        socket.setPort(std::to_string(s_echo.port));
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
        for (int i = 0; i < 500 && outcome.closed == 0; ++i) loop.runOnce(20ms);
        return outcome;
    }

    static std::string s_workdir;
    static Server s_echo, s_scripted, s_refusing5, s_rejecting4, s_dante, s_danteAuth, s_microsocks;
};

std::string SocksIntegration::s_workdir;
Server SocksIntegration::s_echo, SocksIntegration::s_scripted, SocksIntegration::s_refusing5,
    SocksIntegration::s_rejecting4, SocksIntegration::s_dante, SocksIntegration::s_danteAuth,
    SocksIntegration::s_microsocks;

#define REQUIRE_SERVER(server, program)                                                 \
    do {                                                                                \
        if (!test::haveProgram(program))                                                \
            GTEST_SKIP() << program << " is not installed (scripts/setup installs it)"; \
        ASSERT_TRUE(echo().running) << "could not start the echo server";               \
        ASSERT_TRUE((server).running) << "could not start " << program;                 \
    } while (false)

TEST_F(SocksIntegration, DanteSocks5WithoutAuthentication) {
    REQUIRE_SERVER(dante(false), Danted);
    for (const char* destination : {"127.0.0.1", "::1"}) {
        // An IPv6 destination goes as its address, and Dante's reply names an IPv6 address.
        const Outcome outcome =
            exchange(s_dante, "5", false, Password, "hello through socks\r\n", destination);
        EXPECT_EQ(outcome.connected, 0) << destination << " " << outcome.socksError;
        EXPECT_EQ(outcome.echoed, "hello through socks\r\n") << destination;
        EXPECT_EQ(outcome.closed, 1) << destination;
    }
}

TEST_F(SocksIntegration, DanteSocks4) {
    REQUIRE_SERVER(dante(false), Danted);
    const std::string payload(200000, 'z');
    const Outcome outcome = exchange(s_dante, "4", false, Password, payload);
    EXPECT_EQ(outcome.connected, 0) << outcome.socksError;
    EXPECT_TRUE(outcome.echoed == payload) << outcome.echoed.size() << " bytes came back";
}

TEST_F(SocksIntegration, DanteSocks5WithUserAndPassword) {
    REQUIRE_SERVER(dante(true), Danted);
    const Outcome outcome = exchange(s_danteAuth, "5", true);
    EXPECT_EQ(outcome.connected, 0) << outcome.socksError;
    EXPECT_EQ(outcome.echoed, "hello through socks\r\n");

    const Outcome refused = exchange(s_danteAuth, "5", true, "wrong password");
    EXPECT_EQ(refused.socksError, "20015 socks authentication failed");
    EXPECT_EQ(refused.connected, SocksAuthenticationFailed);
    EXPECT_EQ(refused.closed, 1);
}

TEST_F(SocksIntegration, DanteReportsARefusedDestination) {
    REQUIRE_SERVER(dante(false), Danted);
    MessageLoop loop;
    TWSocket socket(loop);
    socket.setSocksServer("127.0.0.1");
    socket.setSocksPort(std::to_string(s_dante.port));
    socket.setAddr("127.0.0.1");
    socket.setPort(std::to_string(test::freePort()));
    int connected = -1;
    socket.OnSessionConnected = [&](TWSocket&, int error) { connected = error; };
    socket.Connect();
    for (int i = 0; i < 500 && connected == -1; ++i) loop.runOnce(20ms);
    EXPECT_EQ(connected, SocksConnectionRefused);
    EXPECT_EQ(socket.State(), TSocketState::wsClosed);
}

TEST_F(SocksIntegration, MicrosocksWithUserAndPassword) {
    REQUIRE_SERVER(microsocks(), Microsocks);
    const std::string payload = std::string(70000, 'm') + "\r\n";
    const Outcome outcome = exchange(s_microsocks, "5", true, Password, payload);
    EXPECT_EQ(outcome.connected, 0) << outcome.socksError;
    EXPECT_TRUE(outcome.echoed == payload) << outcome.echoed.size() << " bytes came back";

    // microsocks insists on the sub-negotiation: an offer of no authentication is refused.
    const Outcome unauthenticated = exchange(s_microsocks, "5", false);
    EXPECT_EQ(unauthenticated.socksError, "20003 authentification method not acceptable");
}

TEST_F(SocksIntegration, ScriptedSocks4AResolvesTheNameAtTheServer) {
    REQUIRE_SERVER(scripted(s_scripted, "relay"), Python);
    const Outcome outcome =
        exchange(s_scripted, "4A", false, Password, "name at the server\r\n", "localhost");
    EXPECT_EQ(outcome.connected, 0) << outcome.socksError;
    EXPECT_EQ(outcome.echoed, "name at the server\r\n");
}

TEST_F(SocksIntegration, ScriptedFailureReplies) {
    REQUIRE_SERVER(scripted(s_refusing5, "fail:5"), Python);
    const Outcome refused = exchange(s_refusing5, "5", false);
    EXPECT_EQ(refused.socksError, "20008 connection refused");
    EXPECT_EQ(refused.connected, 20008);
    EXPECT_EQ(refused.closed, 1);

    ASSERT_TRUE(scripted(s_rejecting4, "fail:91").running);
    const Outcome rejected = exchange(s_rejecting4, "4", false);
    EXPECT_EQ(rejected.socksError, "20016 request rejected or failed");
    EXPECT_EQ(rejected.connected, 20016);
}

}  // namespace
}  // namespace quillharbor
