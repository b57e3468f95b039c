// The FTP client against real servers on loopback: pyftpdlib (also on ::1) and vsftpd, actively
// and passively through microsocks, and ftp-proxy in front of pyftpdlib for the proxy mode.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "net/ftp_client.h"
#include "net/ftp_servers.h"

namespace quillharbor::test {
namespace {

class FtpIntegration : public ::testing::Test {
protected:
    // A new client logging in as anna for /pub/file.bin, into `name` of the test's directory.
    void fresh(std::uint16_t port, const std::string& name = "file.bin") {
        client = std::make_unique<TFtpClient>(loop);
        done.clear();
        shown.clear();
        client->OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
            done.push_back({request, error});
        };
        client->OnDisplay = [this](TFtpClient&, std::string& text) { shown.push_back(text); };
        client->setHostName("127.0.0.1");
        client->setPort(std::to_string(port));
        client->setUserName(port == servers.vsftpdPort ? "anonymous" : "anna");
        client->setPassWord("secret");
        client->setHostDirName("/pub");
        client->setHostFileName(name);
        client->setLocalFileName(local(name));
    }
    void TearDown() override {
        client.reset();
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(loop.targetCount(), 0u);
    }
    std::string local(const std::string& name) const { return directory.path() + "/" + name; }
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

    FtpServers& servers = FtpServers::instance();
    TempDirectory directory;
    MessageLoop loop;
    std::unique_ptr<TFtpClient> client;
    std::vector<Done> done;
    std::vector<std::string> shown;
};

// A whole receive (connect, CWD, TYPE I, PORT/EPRT or PASV/EPSV through SOCKS 5, RETR, QUIT)
// against each server, actively and passively; the file arrives byte for byte. Over IPv6 the
// client listens on ::1 and names it in EPRT, or passes EPSV's port through SOCKS 5.
TEST_F(FtpIntegration, ReceiveFetchesTheFileByteForByteFromEachServer) {
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    const std::uint16_t ipv6 = servers.startIpv6();
    const std::uint16_t socks = HttpServers::instance().startMicrosocks();
    ASSERT_TRUE(ipv6 != 0 && socks != 0);
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort, ipv6}) {
        for (const bool passive : {false, true}) {
            SCOPED_TRACE(std::to_string(port) + (passive ? " passive" : " active"));
            fresh(port, "file.bin");
            client->setLocalFileName(local(std::to_string(port) + std::to_string(passive)));
            if (port == ipv6)
                client->setHostName("::1");
            if (passive) {
                client->setConnectionType(TFtpConnectionType::ftpSocks5);
                client->setSocksServer("127.0.0.1");
                client->setSocksPort(std::to_string(socks));
            }
            client->receive();
            ASSERT_TRUE(runUntilDone());
            EXPECT_EQ(done[0], (Done{TFtpRequest::Receive, 0})) << client->ErrorMessage();
            EXPECT_TRUE(contentsOf(local(std::to_string(port) + std::to_string(passive))) ==
                        pattern(FtpServers::FileSize));
            EXPECT_EQ(wasShown("> PASV"), passive && port != ipv6);
            EXPECT_EQ(wasShown("> EPSV"), passive && port == ipv6);
            EXPECT_EQ(
                std::any_of(shown.begin(), shown.end(),
                            [](const std::string& s) { return s.starts_with("> EPRT |2|::1|"); }),
                !passive && port == ipv6);
            EXPECT_TRUE(wasShown("> TYPE I") && wasShown("> QUIT"));
            EXPECT_FALSE(client->Connected());
        }
    }
}

}  // namespace
}  // namespace quillharbor::test
