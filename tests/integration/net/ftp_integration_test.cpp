// The FTP client against real servers on loopback: pyftpdlib and vsftpd (active data connections
// directly, passive ones through microsocks), ftp-proxy in front of pyftpdlib for the proxy mode.
// Each server runs with a private configuration on a free port for the whole suite.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/ftp_client.h"
#include "server_process.h"

namespace quillharbor {
namespace {

using test::freePort;
using test::haveProgram;
using test::ServerProcess;
using test::serverScript;

constexpr const char* Python = "/usr/bin/python3";
constexpr const char* Pyftpdlib = "/usr/lib/python3/dist-packages/pyftpdlib";
constexpr const char* Vsftpd = "/usr/sbin/vsftpd";
constexpr const char* FtpProxy = "/usr/sbin/ftp-proxy";
constexpr const char* Microsocks = "/usr/bin/microsocks";

constexpr std::int64_t Beyond2GiB = (std::int64_t{1} << 31) + 1000;

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 997) & 0xFF);
    return bytes;
}

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    std::filesystem::permissions(path, std::filesystem::perms(0644));
}

struct Server {
    ServerProcess process;
    std::uint16_t port = 0;
    bool started = false;
};

class FtpIntegrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char directory[] = "/tmp/ftp_integration.XXXXXX";
        ASSERT_NE(::mkdtemp(directory), nullptr);
        s_directory = directory;
        // vsftpd serves the root to its unprivileged "ftp" user.
        std::filesystem::create_directories(root() + "/pub");
        for (const std::string& dir : {s_directory, root(), root() + "/pub"})
            std::filesystem::permissions(dir, std::filesystem::perms(0755));
        writeFile(root() + "/pub/file.bin", pattern(300000));
        writeFile(root() + "/pub/big.bin", pattern(20 << 20));
        // Sparse: only the last kilobyte holds anything.
        {
            std::ofstream huge(root() + "/pub/huge.bin", std::ios::binary);
            huge.seekp(Beyond2GiB - 1000);
            huge << pattern(1000);
        }
        std::filesystem::permissions(root() + "/pub/huge.bin", std::filesystem::perms(0644));
        std::filesystem::create_directories(s_directory + "/vsftpd");
    }

    static void TearDownTestSuite() {
        s_servers.clear();
        std::filesystem::remove_all(s_directory);
    }

    static std::string root() { return s_directory + "/root"; }

    // The named server, started when first asked for; nullptr when its program is missing
    // (the caller skips). "PORT" in argv stands for the server's port.
    static Server* start(const std::string& name, const std::string& program,
                         const std::vector<std::string>& argv, bool ipv6 = false) {
        if (!haveProgram(program) || !haveProgram(Python) ||
            (name.starts_with("pyftpdlib") && !std::filesystem::exists(Pyftpdlib)))
            return nullptr;
        std::unique_ptr<Server>& server = s_servers[name];
        if (!server) {
            server = std::make_unique<Server>();
            server->port = freePort();
            std::vector<std::string> args;
            for (const std::string& arg : argv)
                args.push_back(arg == "PORT" ? std::to_string(server->port) : arg);
            server->started =
                server->process.start(args, server->port, s_directory + "/" + name + ".log", ipv6);
        }
        EXPECT_TRUE(server->started) << name << " did not start";
        return server.get();
    }
    // pyftpdlib with extra options ("--refuse-size", "--ipv6" to listen on ::1 only).
    static Server* pyftpdlib(const std::string& option = {}) {
        std::vector<std::string> argv = {Python, serverScript("ftp_pyftpdlib.py"), "PORT", root()};
        if (!option.empty())
            argv.push_back(option);
        return start("pyftpdlib" + option, Python, argv, option == "--ipv6");
    }
    static Server* vsftpd() {
        return start(
            "vsftpd", Vsftpd,
            {Python, serverScript("ftp_vsftpd.py"), "PORT", root(), s_directory + "/vsftpd"});
    }
    static Server* ftpProxy(std::uint16_t serverPort) {
        return start("ftp-proxy", FtpProxy,
                     {Python, serverScript("ftp_proxy.py"), "PORT", std::to_string(serverPort),
                      s_directory});
    }
    static Server* socks() {
        return start("microsocks", Microsocks, {Microsocks, "-i", "127.0.0.1", "-p", "PORT"});
    }

    void SetUp() override {
        m_local = s_directory + "/local-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(m_local);
        fresh();
    }

    // A new client with the test's defaults and nothing recorded.
    void fresh() {
        client = std::make_unique<TFtpClient>(loop);
        done.clear();
        shown.clear();
        onDone = nullptr;
        client->OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
            done.push_back({request, error});
            if (onDone)
                onDone(request, error);
        };
        client->OnDisplay = [this](TFtpClient&, std::string& text) { shown.push_back(text); };
        client->setHostName("127.0.0.1");
        client->setUserName("anna");
        client->setPassWord("secret");
        client->setHostDirName("/pub");
        client->setHostFileName("file.bin");
        client->setLocalFileName(local("file.bin"));
    }

    void TearDown() override {
        client.reset();
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(loop.targetCount(), 0u);
    }

    std::string local(const std::string& name) const { return m_local + "/" + name; }

    // Drives the loop until `count` requests were reported; at most 30 seconds.
    bool runUntilDone(std::size_t count = 1) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (done.size() < count && std::chrono::steady_clock::now() < deadline)
            loop.runOnce(std::chrono::milliseconds(50));
        return done.size() >= count;
    }

    bool wasShown(const std::string& text) const {
        return std::find(shown.begin(), shown.end(), text) != shown.end();
    }

    struct Done {
        TFtpRequest request;
        int error;
        bool operator==(const Done&) const = default;
    };

    MessageLoop loop;
    std::unique_ptr<TFtpClient> client;
    std::vector<Done> done;
    std::vector<std::string> shown;
    std::function<void(TFtpRequest, int)> onDone;

    static inline std::string s_directory;
    static inline std::map<std::string, std::unique_ptr<Server>> s_servers;

private:
    std::string m_local;
};

#define REQUIRE_SERVER(server, name) \
    if ((server) == nullptr)         \
    GTEST_SKIP() << name << " is not installed"

// A whole receive request (connect, CWD, TYPE I, PORT/EPRT or PASV/EPSV through SOCKS 5, RETR,
// QUIT) against each server, actively and passively; the file arrives byte for byte. Over IPv6
// the client listens on ::1 and names it in EPRT, or passes EPSV's port through SOCKS 5.
TEST_F(FtpIntegrationTest, ReceiveFetchesTheFileByteForByteFromEachServer) {
    const struct {
        const char* server;
        bool passive;
    } rows[] = {{"pyftpdlib", false}, {"pyftpdlib", true},   {"vsftpd", false},
                {"vsftpd", true},     {"pyftpdlib6", false}, {"pyftpdlib6", true}};
    for (const auto& row : rows) {
        const std::string name = row.server;
        SCOPED_TRACE(name + (row.passive ? " passive" : " active"));
        Server* server =
            name == "vsftpd" ? vsftpd() : pyftpdlib(name == "pyftpdlib6" ? "--ipv6" : "");
        Server* proxy = row.passive ? socks() : nullptr;
        if (server == nullptr || (row.passive && proxy == nullptr))
            continue;
        ASSERT_TRUE(server->started && (proxy == nullptr || proxy->started));
        fresh();
        if (name == "vsftpd")
            client->setUserName("anonymous");
        if (name == "pyftpdlib6")
            client->setHostName("::1");
        if (proxy != nullptr) {
            client->setConnectionType(TFtpConnectionType::ftpSocks5);
            client->setSocksServer("127.0.0.1");
            client->setSocksPort(std::to_string(proxy->port));
        }
        client->setLocalFileName(local(name + (row.passive ? "-passive" : "-active")));
        client->setPort(std::to_string(server->port));
        client->receive();
        ASSERT_TRUE(runUntilDone());
        EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 0})) << client->ErrorMessage();
        EXPECT_TRUE(fileContents(local(name + (row.passive ? "-passive" : "-active"))) ==
                    pattern(300000));
        const bool ipv6 = name == "pyftpdlib6";
        EXPECT_EQ(wasShown("> PASV"), row.passive && !ipv6);
        EXPECT_EQ(wasShown("> EPSV"), row.passive && ipv6);
        EXPECT_EQ(
            std::any_of(shown.begin(), shown.end(),
                        [](const std::string& line) { return line.starts_with("> EPRT |2|::1|"); }),
            !row.passive && ipv6);
        EXPECT_TRUE(wasShown("> TYPE I"));
        EXPECT_TRUE(wasShown("> QUIT"));
        EXPECT_FALSE(client->Connected());
    }
}

TEST_F(FtpIntegrationTest, LoginsWithout230PassAndResumes) {
    for (Server* server : {pyftpdlib(), vsftpd()}) {
        if (server == nullptr)
            continue;
        fresh();
        client->setUserName(server == vsftpd() ? "anonymous" : "guest");
        client->setPort(std::to_string(server->port));
        client->connect();
        ASSERT_TRUE(runUntilDone());
        EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 0})) << client->ErrorMessage();
        EXPECT_EQ(client->StatusCode(), 230);
        EXPECT_FALSE(wasShown("> PASS secret"));
        client->quit();
        ASSERT_TRUE(runUntilDone(2));
        EXPECT_EQ(done[1], (Done{TFtpRequest::Quit, 0}));
    }

    Server* server = pyftpdlib();
    REQUIRE_SERVER(server, "pyftpdlib");
    fresh();
    writeFile(local("file.bin"), pattern(300000).substr(0, 123457));
    client->setPort(std::to_string(server->port));
    client->restartReceive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::RestartReceive, 0})) << client->ErrorMessage();
    EXPECT_TRUE(wasShown("> REST 123457"));
    EXPECT_EQ(fileContents(local("file.bin")), pattern(300000));

    // Beyond 2 GiB: the same sparse zeros the server holds, up to 500 bytes before its last
    // kilobyte.
    fresh();
    const std::int64_t have = Beyond2GiB - 1500;
    { std::ofstream(local("huge.bin"), std::ios::binary); }
    std::filesystem::resize_file(local("huge.bin"), static_cast<std::uintmax_t>(have));
    client->setHostFileName("huge.bin");
    client->setLocalFileName(local("huge.bin"));
    client->setPort(std::to_string(server->port));
    std::vector<std::int64_t> counts;
    client->OnProgress = [&](TFtpClient& sender, std::int64_t count, bool&) {
        counts.push_back(count);
        EXPECT_EQ(sender.LocalStreamSize(), count);
    };
    // pyftpdlib answers SIZE only in binary mode, which the file-size request does not set.
    onDone = [this](TFtpRequest request, int error) {
        if (error != 0)
            return;
        if (request == TFtpRequest::Connect)
            client->changeDirectory();
        else if (request == TFtpRequest::ChangeDirectory)
            client->binaryType();
        else if (request == TFtpRequest::Type)
            client->size();
        else if (request == TFtpRequest::Size)
            client->restartRetrieve();
    };
    client->connect();
    ASSERT_TRUE(runUntilDone(5));
    EXPECT_EQ(client->SizeResult(), Beyond2GiB);
    EXPECT_EQ(done[4], (Done{TFtpRequest::RestartRetrieve, 0})) << client->ErrorMessage();
    EXPECT_TRUE(wasShown("> REST " + std::to_string(have)));
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), have);
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(local("huge.bin"))), Beyond2GiB);
    std::ifstream in(local("huge.bin"), std::ios::binary);
    in.seekg(Beyond2GiB - 1000);
    std::string tail(1000, '\0');
    in.read(tail.data(), 1000);
    EXPECT_EQ(tail, pattern(1000));
}

// A refused step fails the request with its reply, and QUIT still goes.
TEST_F(FtpIntegrationTest, RefusedStepsEndTheRequestWithTheirReply) {
    Server* server = pyftpdlib();
    Server* refusingSize = pyftpdlib("--refuse-size");
    REQUIRE_SERVER(server, "pyftpdlib");
    client->setHostFileName("missing.bin");
    client->setPort(std::to_string(server->port));
    client->receive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 550}));
    EXPECT_EQ(client->ErrorMessage().substr(0, 4), "550 ");
    // The reply before QUIT is the one reported.
    EXPECT_EQ(client->LastResponse(), client->ErrorMessage());
    EXPECT_EQ(client->StatusCode(), 550);
    EXPECT_TRUE(wasShown("> QUIT"));
    EXPECT_EQ(fileContents(local("file.bin")), "");
    EXPECT_TRUE(std::filesystem::exists(local("file.bin")));

    fresh();
    client->setPort(std::to_string(refusingSize->port));
    client->fileSize();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::FileSize, 500}));
    EXPECT_EQ(client->ErrorMessage(), "500 SIZE not understood.");
    EXPECT_EQ(client->LastResponse(), "500 SIZE not understood.");
    EXPECT_TRUE(wasShown("> QUIT"));
}

TEST_F(FtpIntegrationTest, ProxyModeThroughFtpProxy) {
    Server* server = pyftpdlib();
    REQUIRE_SERVER(server, "pyftpdlib");
    Server* proxy = ftpProxy(server->port);
    REQUIRE_SERVER(proxy, "ftp-proxy");
    ASSERT_TRUE(proxy->started);
    // ftp-proxy takes the server's port from the user name; the control connection goes to the
    // proxy on Port.
    const std::string host = "127.0.0.1:" + std::to_string(server->port);
    client->setConnectionType(TFtpConnectionType::ftpProxy);
    client->setProxyServer("127.0.0.1");
    client->setHostName(host);
    client->setPort(std::to_string(proxy->port));
    client->receive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 0})) << client->ErrorMessage();
    EXPECT_TRUE(wasShown("> USER anna@" + host));
    EXPECT_TRUE(wasShown("> PASV"));
    EXPECT_EQ(fileContents(local("file.bin")), pattern(300000));

    // An abort during the retrieval: ready at once, reported later from the loop as 426.
    fresh();
    client->setHostFileName("big.bin");
    client->setPort(std::to_string(server->port));
    bool aborted = false;
    client->OnProgress = [&](TFtpClient& sender, std::int64_t count, bool&) {
        if (count > 100000 && !aborted) {
            aborted = true;
            EXPECT_FALSE(sender.Abort());
            EXPECT_EQ(sender.State(), TFtpState::Ready);
            EXPECT_TRUE(done.empty());
        }
    };
    std::vector<std::string> errors;
    client->OnError = [&](TFtpClient&, std::string& text) { errors.push_back(text); };
    client->receive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_TRUE(aborted);
    EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 426}));
    EXPECT_EQ(client->ErrorMessage(), "426 Operation aborted.");
    EXPECT_FALSE(client->Connected());
    // The connection is gone: a QUIT after the abort is refused.
    client->quit();
    EXPECT_EQ(errors, (std::vector<std::string>{"FTP component not connected"}));
    EXPECT_LT(std::filesystem::file_size(local("file.bin")), std::uintmax_t{20} << 20);
}

}  // namespace
}  // namespace quillharbor
