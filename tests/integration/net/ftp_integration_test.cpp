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
        std::filesystem::permissions(s_directory, std::filesystem::perms(0755));
        std::filesystem::create_directories(root() + "/pub");
        std::filesystem::permissions(root(), std::filesystem::perms(0755));
        std::filesystem::permissions(root() + "/pub", std::filesystem::perms(0755));
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
        for (Server* server :
             {&s_pyftpdlib, &s_refusingSize, &s_pyftpdlib6, &s_vsftpd, &s_proxy, &s_socks}) {
            server->process.stop();
            server->started = false;
        }
        std::filesystem::remove_all(s_directory);
    }

    static std::string root() { return s_directory + "/root"; }

    static Server& start(Server& server, const std::vector<std::string>& argv,
                         const std::string& log, bool ipv6 = false) {
        if (!server.started) {
            server.port = freePort();
            std::vector<std::string> args;
            for (const std::string& arg : argv)
                args.push_back(arg == "PORT" ? std::to_string(server.port) : arg);
            server.started = server.process.start(args, server.port, s_directory + "/" + log, ipv6);
        }
        return server;
    }

    // The client reaches its server through the SOCKS 5 proxy on loopback.
    void throughSocks5(const Server& proxy) {
        client->setConnectionType(TFtpConnectionType::ftpSocks5);
        client->setSocksServer("127.0.0.1");
        client->setSocksPort(std::to_string(proxy.port));
    }

    // Each returns nullptr (and the test is skipped) when the server's program is missing.
    Server* pyftpdlib(bool refuseSize = false) {
        if (!haveProgram(Python) || !std::filesystem::exists(Pyftpdlib))
            return nullptr;
        std::vector<std::string> argv = {Python, serverScript("ftp_pyftpdlib.py"), "PORT", root()};
        if (refuseSize)
            argv.push_back("--refuse-size");
        Server& server = start(refuseSize ? s_refusingSize : s_pyftpdlib, argv,
                               refuseSize ? "pyftpdlib-nosize.log" : "pyftpdlib.log");
        EXPECT_TRUE(server.started) << "pyftpdlib did not start";
        return &server;
    }
    // pyftpdlib on the IPv6 loopback ::1 only.
    Server* pyftpdlib6() {
        if (!haveProgram(Python) || !std::filesystem::exists(Pyftpdlib))
            return nullptr;
        Server& server = start(s_pyftpdlib6,
                               {Python, serverScript("ftp_pyftpdlib.py"), "PORT", root(), "--ipv6"},
                               "pyftpdlib6.log", true);
        EXPECT_TRUE(server.started) << "pyftpdlib did not start on ::1";
        return &server;
    }
    Server* vsftpd() {
        if (!haveProgram(Vsftpd))
            return nullptr;
        Server& server =
            start(s_vsftpd,
                  {Python, serverScript("ftp_vsftpd.py"), "PORT", root(), s_directory + "/vsftpd"},
                  "vsftpd.log");
        EXPECT_TRUE(server.started) << "vsftpd did not start";
        return &server;
    }
    Server* ftpProxy(std::uint16_t serverPort) {
        if (!haveProgram(FtpProxy))
            return nullptr;
        Server& server = start(
            s_proxy,
            {Python, serverScript("ftp_proxy.py"), "PORT", std::to_string(serverPort), s_directory},
            "ftp-proxy-start.log");
        EXPECT_TRUE(server.started) << "ftp-proxy did not start";
        return &server;
    }
    Server* socks() {
        if (!haveProgram(Microsocks))
            return nullptr;
        Server& server =
            start(s_socks, {Microsocks, "-i", "127.0.0.1", "-p", "PORT"}, "microsocks.log");
        EXPECT_TRUE(server.started) << "microsocks did not start";
        return &server;
    }

    void SetUp() override {
        m_local = s_directory + "/local-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(m_local);
        client = std::make_unique<TFtpClient>(loop);
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
    static inline Server s_pyftpdlib, s_refusingSize, s_pyftpdlib6, s_vsftpd, s_proxy, s_socks;

private:
    std::string m_local;
};

#define REQUIRE_SERVER(server, name) \
    if ((server) == nullptr)         \
    GTEST_SKIP() << name << " is not installed"

// A whole receive request (connect, CWD, TYPE I, PORT or PASV, RETR, QUIT) against each server,
// actively and passively (through SOCKS 5); the file arrives byte for byte.
class FtpServers : public FtpIntegrationTest,
                   public ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(FtpServers, ReceiveFetchesTheFileByteForByte) {
    const auto [name, passive] = GetParam();
    Server* server = std::string(name) == "vsftpd" ? vsftpd() : pyftpdlib();
    REQUIRE_SERVER(server, name);
    ASSERT_TRUE(server->started);
    if (std::string(name) == "vsftpd")
        client->setUserName("anonymous");
    if (passive) {
        Server* proxy = socks();
        REQUIRE_SERVER(proxy, "microsocks");
        ASSERT_TRUE(proxy->started);
        throughSocks5(*proxy);
    }
    client->setPort(std::to_string(server->port));
    client->receive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 0})) << client->ErrorMessage();
    EXPECT_EQ(fileContents(local("file.bin")), pattern(300000));
    EXPECT_EQ(wasShown("> PASV"), passive);
    EXPECT_TRUE(wasShown("> TYPE I"));
    EXPECT_TRUE(wasShown("> QUIT"));
    EXPECT_FALSE(client->Connected());
}

INSTANTIATE_TEST_SUITE_P(ActiveAndPassive, FtpServers,
                         ::testing::Combine(::testing::Values("pyftpdlib", "vsftpd"),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Passive" : "Active");
                         });

// Over IPv6 the data port travels in EPRT (the client listens on ::1) or, through SOCKS 5 whose
// requests carry the IPv6 address itself, in EPSV.
class FtpOverIPv6 : public FtpIntegrationTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpOverIPv6, ReceiveUsesTheExtendedCommands) {
    const bool passive = GetParam();
    Server* server = pyftpdlib6();
    REQUIRE_SERVER(server, "pyftpdlib");
    ASSERT_TRUE(server->started);
    if (passive) {
        Server* proxy = socks();
        REQUIRE_SERVER(proxy, "microsocks");
        ASSERT_TRUE(proxy->started);
        throughSocks5(*proxy);
    }
    client->setHostName("::1");
    client->setPort(std::to_string(server->port));
    client->receive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 0})) << client->ErrorMessage();
    EXPECT_EQ(fileContents(local("file.bin")), pattern(300000));
    EXPECT_EQ(wasShown("> EPSV"), passive);
    EXPECT_EQ(
        std::any_of(shown.begin(), shown.end(),
                    [](const std::string& line) { return line.starts_with("> EPRT |2|::1|"); }),
        !passive);
    EXPECT_FALSE(wasShown("> PASV"));
}

INSTANTIATE_TEST_SUITE_P(ActiveAndPassive, FtpOverIPv6, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_F(FtpIntegrationTest, UserAnsweredWith230SendsNoPass) {
    for (Server* server : {pyftpdlib(), vsftpd()}) {
        if (server == nullptr)
            continue;
        done.clear();
        shown.clear();
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
}

TEST_F(FtpIntegrationTest, RestartReceiveCompletesAPartialFile) {
    Server* server = pyftpdlib();
    REQUIRE_SERVER(server, "pyftpdlib");
    writeFile(local("file.bin"), pattern(300000).substr(0, 123457));
    client->setPort(std::to_string(server->port));
    client->restartReceive();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::RestartReceive, 0})) << client->ErrorMessage();
    EXPECT_TRUE(wasShown("> REST 123457"));
    EXPECT_EQ(fileContents(local("file.bin")), pattern(300000));
}

TEST_F(FtpIntegrationTest, AFileBeyond2GiBResumesAtTheRightOffset) {
    Server* server = pyftpdlib();
    REQUIRE_SERVER(server, "pyftpdlib");
    // The same sparse zeros the server holds, up to 500 bytes before its last kilobyte.
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

TEST_F(FtpIntegrationTest, ServerRefusingSizeFailsTheRequestAndStillQuits) {
    Server* server = pyftpdlib(true);
    REQUIRE_SERVER(server, "pyftpdlib");
    client->setPort(std::to_string(server->port));
    client->fileSize();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::FileSize, 500}));
    EXPECT_EQ(client->ErrorMessage(), "500 SIZE not understood.");
    EXPECT_EQ(client->LastResponse(), "500 SIZE not understood.");
    EXPECT_TRUE(wasShown("> QUIT"));
}

TEST_F(FtpIntegrationTest, RetrOfAMissingFileFailsWith550) {
    Server* server = pyftpdlib();
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
    EXPECT_TRUE(std::filesystem::exists(local("file.bin")));
    EXPECT_EQ(fileContents(local("file.bin")), "");
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
}

TEST_F(FtpIntegrationTest, AbortDuringARetrievalEndsItWith426) {
    Server* server = pyftpdlib();
    REQUIRE_SERVER(server, "pyftpdlib");
    client->setHostFileName("big.bin");
    client->setPort(std::to_string(server->port));
    bool aborted = false;
    client->OnProgress = [&](TFtpClient& sender, std::int64_t count, bool&) {
        if (count > 100000 && !aborted) {
            aborted = true;
            // Ready at once; the request is reported later, from the loop.
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
