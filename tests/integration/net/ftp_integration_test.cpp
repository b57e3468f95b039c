// The FTP client against real servers on loopback: pyftpdlib (also on ::1) and vsftpd, actively
// and passively through microsocks.

#include <gtest/gtest.h>

#include <memory>

#include "net/ftp_client.h"
#include "net/ftp_servers.h"

namespace quillharbor::test {
namespace {

// A whole receive (connect, CWD, TYPE I, PORT/EPRT or PASV/EPSV through SOCKS 5, RETR, QUIT)
// against each server, actively and passively; the file arrives byte for byte. Over IPv6 the
// client listens on ::1 and names it in EPRT, or passes EPSV's port through SOCKS 5.
TEST(FtpIntegration, ReceiveFetchesTheFileByteForByteFromEachServer) {
    FtpServers& servers = FtpServers::instance();
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    const std::uint16_t ipv6 = servers.startIpv6();
    const std::uint16_t socks = HttpServers::instance().startMicrosocks();
    ASSERT_TRUE(ipv6 != 0 && socks != 0);
    TempDirectory directory;
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort, ipv6}) {
        for (const bool passive : {false, true}) {
            SCOPED_TRACE(std::to_string(port) + (passive ? " passive" : " active"));
            MessageLoop loop;
            auto client = std::make_unique<TFtpClient>(loop);
            std::vector<int> done;
            std::string shown;
            client->OnRequestDone = [&](TFtpClient&, TFtpRequest request, int error) {
                done.push_back(request == TFtpRequest::Receive ? error : -1);
            };
            client->OnDisplay = [&](TFtpClient&, std::string& text) { shown += text + "\n"; };
            client->setHostName(port == ipv6 ? "::1" : "127.0.0.1");
            client->setPort(std::to_string(port));
            client->setUserName(port == servers.vsftpdPort ? "anonymous" : "anna");
            client->setPassWord("secret");
            client->setHostDirName("/pub");
            client->setHostFileName("file.bin");
            const std::string local = directory / (std::to_string(port) + std::to_string(passive));
            client->setLocalFileName(local);
            if (passive) {
                client->setConnectionType(TFtpConnectionType::ftpSocks5);
                client->setSocksServer("127.0.0.1");
                client->setSocksPort(std::to_string(socks));
            }
            client->receive();
            for (int i = 0; i < 600 && done.empty(); ++i)
                loop.runOnce(std::chrono::milliseconds(50));
            EXPECT_EQ(done, std::vector<int>{0}) << client->ErrorMessage();
            EXPECT_TRUE(contentsOf(local) == pattern(FtpServers::FileSize));
            EXPECT_EQ(shown.find("> PASV\n") != std::string::npos, passive && port != ipv6);
            EXPECT_EQ(shown.find("> EPSV\n") != std::string::npos, passive && port == ipv6);
            EXPECT_EQ(shown.find("> EPRT |2|::1|") != std::string::npos, !passive && port == ipv6);
            EXPECT_TRUE(shown.find("> TYPE I\n") != std::string::npos &&
                        shown.find("> QUIT\n") != std::string::npos);
            EXPECT_FALSE(client->Connected());
            client.reset();
            EXPECT_EQ(loop.targetCount(), 0u);
        }
    }
    EXPECT_EQ(TWSocket::liveCount(), 0);
}

}  // namespace
}  // namespace quillharbor::test
