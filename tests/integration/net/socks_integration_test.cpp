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

#include <chrono>
#include <cstdlib>
#include <map>
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
const std::string Hello = "hello through socks\r\n";

class SocksIntegration : public ::testing::Test {
protected:
    struct Server {
        ServerProcess process;
        std::uint16_t port = 0;
        bool running = false;
    };

    static void SetUpTestSuite() {
        char pattern[] = "/tmp/quillharbor-socks-XXXXXX";
        s_workdir = ::mkdtemp(pattern);
    }
    static void TearDownTestSuite() {
        s_servers.clear();
        std::system(("rm -rf " + s_workdir).c_str());
    }

    // Starts the named server once, on a free port that goes right after `argv`, then `after`.
    static const Server& ensure(const std::string& name, std::vector<std::string> argv,
                                const std::vector<std::string>& after = {}) {
        std::unique_ptr<Server>& slot = s_servers[name];
        if (!slot) {
            slot = std::make_unique<Server>();
            slot->port = test::freePort();
            argv.push_back(std::to_string(slot->port));
            argv.insert(argv.end(), after.begin(), after.end());
            slot->running = slot->process.start(argv, slot->port, s_workdir + "/" + name + ".log");
        }
        return *slot;
    }
    static const Server& echo() {
        return ensure("echo", {Python, test::serverScript("echo_server.py")});
    }
    static const Server& scripted(const std::string& mode) {
        return ensure("scripted-" + mode, {Python, test::serverScript("socks_scripted.py")},
                      {mode});
    }
    // Dante runs as root here (CI does too) and checks passwords against system accounts.
    static const Server& dante(bool authenticate) {
        const std::string dir = s_workdir + (authenticate ? "/auth" : "/open");
        ::mkdir(dir.c_str(), 0755);
        return authenticate
                   ? ensure("dante-auth", {Python, test::serverScript("socks_dante.py")},
                            {dir, "username", User, Password})
                   : ensure("dante", {Python, test::serverScript("socks_dante.py")}, {dir, "none"});
    }
    static const Server& microsocks() {
        return ensure("microsocks",
                      {Microsocks, "-i", "127.0.0.1", "-u", User, "-P", Password, "-p"});
    }

    void TearDown() override { EXPECT_EQ(TWSocket::liveCount(), 0); }

    struct Outcome {
        int connected = -1;
        std::string socksError;
        std::string echoed;
        int closed = 0;
    };

    // Connects through the SOCKS server to `port` (the echo server's by default), sends
    // `payload` and collects the echo.
    static Outcome exchange(const Server& proxy, const std::string& level, const char* password,
                            const std::string& payload = Hello,
                            const std::string& destination = "127.0.0.1", std::uint16_t port = 0) {
        MessageLoop loop;
        TWSocket socket(loop);
        Outcome outcome;
        socket.setSocksServer("127.0.0.1");
        socket.setSocksPort(std::to_string(proxy.port));
        socket.setSocksLevel(level);
        if (password != nullptr) {
            socket.setSocksAuthentication(TSocksAuthentication::socksAuthenticateUsercode);
            socket.setSocksUsercode(User);
            socket.setSocksPassword(password);
        }
        socket.setAddr(destination);
        socket.setPort(std::to_string(port != 0 ? port : echo().port));
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
        EXPECT_EQ(socket.State(), TSocketState::wsClosed);
        return outcome;
    }

    static inline std::string s_workdir;
    static inline std::map<std::string, std::unique_ptr<Server>> s_servers;
};

// Each row goes through its proxy to the echo server, or fails with the proxy's SOCKS code.
struct Row {
    const char* proxy;
    const char* level;
    const char* password;  // nullptr: no authentication offered
    std::string payload;
    const char* destination;
    int connected;
    const char* socksError;
};

TEST_F(SocksIntegration, ExchangesAndRefusalsThroughEachServer) {
    const Row rows[] = {
        // An IPv6 destination goes as its address, and Dante's reply names an IPv6 address.
        {"dante", "5", nullptr, Hello, "127.0.0.1", 0, ""},
        {"dante", "5", nullptr, Hello, "::1", 0, ""},
        // Dante cannot reach a port nobody listens on.
        {"dante", "5", nullptr, Hello, "closed port", SocksConnectionRefused,
         "20008 connection refused"},
        {"dante", "4", nullptr, std::string(200000, 'z'), "127.0.0.1", 0, ""},
        {"dante-auth", "5", Password, Hello, "127.0.0.1", 0, ""},
        {"dante-auth", "5", "wrong password", Hello, "127.0.0.1", SocksAuthenticationFailed,
         "20015 socks authentication failed"},
        {"microsocks", "5", Password, std::string(70000, 'm') + "\r\n", "127.0.0.1", 0, ""},
        // microsocks insists on the sub-negotiation.
        {"microsocks", "5", nullptr, Hello, "127.0.0.1", SocksMethodNotAcceptable,
         "20003 authentification method not acceptable"},
        {"scripted-relay", "4A", nullptr, Hello, "localhost", 0, ""},
        {"scripted-fail:5", "5", nullptr, Hello, "127.0.0.1", 20008, "20008 connection refused"},
        {"scripted-fail:91", "4", nullptr, Hello, "127.0.0.1", 20016,
         "20016 request rejected or failed"},
    };
    for (const Row& row : rows) {
        const std::string name = row.proxy;
        SCOPED_TRACE(name + " " + row.level + " " + row.destination);
        const bool isDante = name.starts_with("dante");
        if (!test::haveProgram(isDante ? Danted : name == "microsocks" ? Microsocks : Python))
            continue;
        const Server& proxy = isDante                ? dante(name == "dante-auth")
                              : name == "microsocks" ? microsocks()
                                                     : scripted(name.substr(9));
        ASSERT_TRUE(echo().running);
        ASSERT_TRUE(proxy.running);
        const bool closed = std::string(row.destination) == "closed port";
        const Outcome outcome =
            exchange(proxy, row.level, row.password, row.payload,
                     closed ? "127.0.0.1" : row.destination, closed ? test::freePort() : 0);
        EXPECT_EQ(outcome.connected, row.connected) << outcome.socksError;
        EXPECT_EQ(outcome.socksError, row.socksError);
        EXPECT_TRUE(outcome.echoed == (row.connected == 0 ? row.payload : ""))
            << outcome.echoed.size() << " bytes came back";
        EXPECT_EQ(outcome.closed, 1);
    }
}

}  // namespace
}  // namespace quillharbor
