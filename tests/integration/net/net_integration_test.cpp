// The network clients against real servers on loopback: THttpCli against nginx (plain and over
// TLS) for documents and ranges, tinyproxy and microsocks as proxies; the socket through Dante
// (SOCKS 4 and 5, with and without a login) and microsocks (SOCKS 5 with a login) to an echo
// server; the FTP client against pyftpdlib (also on ::1) and vsftpd.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "net/ftp_client.h"
#include "net/ftp_servers.h"
#include "net/http_cli.h"
#include "net/socket_error.h"
#include "net/socks_negotiator.h"
#include "net/tls_failure.h"
#include "net/wsocket.h"
#include "platform/loop_fixture.h"

namespace quillharbor::test {
namespace {

// Tests that need a host name of their own (one that resolves to chosen addresses) run again in a
// private mount namespace whose /etc/hosts is theirs: `unshare -m`, then a bind mount over
// /etc/hosts. Nothing outside the test's own process sees the file.
// The variable set in the run inside the private namespace.
constexpr const char* PrivateHostsVariable = "QUILLHARBOR_PRIVATE_HOSTS";

// Runs the current test again in a private mount namespace whose /etc/hosts holds `hosts`, and
// returns that run's exit status; -1 when such a namespace cannot be made here.
int rerunWithPrivateHosts(const std::string& hosts) {
    if (std::system("unshare -m true >/dev/null 2>&1") != 0) {
        return -1;
    }
    const std::string file =
        (std::filesystem::temp_directory_path() / ("qh-hosts-" + std::to_string(::getpid())))
            .string();
    std::ofstream(file) << hosts;
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = std::string(PrivateHostsVariable) + "=1 unshare -m sh -c " +
                                "'mount --bind \"$0\" /etc/hosts && exec \"$@\"' '" + file + "' '" +
                                program + "' --gtest_filter=" + test.test_suite_name() + "." +
                                test.name();
    const int status = std::system(command.c_str());
    std::filesystem::remove(file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// A listener on [::1]:port whose queue is full: connects to it neither succeed nor fail, as to
// an address whose packets are dropped, and nothing leaves the loopback.
struct SilentIPv6Port {
    explicit SilentIPv6Port(std::uint16_t port) {
        const sockaddr_in6 address{AF_INET6, htons(port), 0, in6addr_loopback, 0};
        const auto* name = reinterpret_cast<const sockaddr*>(&address);
        ok = ::bind(listener, name, sizeof address) == 0 && ::listen(listener, 0) == 0 &&
             ::connect(filler, name, sizeof address) == 0;
    }
    ~SilentIPv6Port() {
        ::close(filler);
        ::close(listener);
    }
    SilentIPv6Port(const SilentIPv6Port&) = delete;

    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int filler = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = false;
};

// One loop, and an HTTP client on it with everything it reports written down.
class NetIntegration : public LoopTest {
protected:
    void SetUp() override {
        cli->OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
            body.append(data, length);
        };
        cli->OnLocationChange = [this](THttpCli& c) { locations.push_back(c.Location()); };
        cli->OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
            doneErrors.push_back(error);
        };
    }
    void TearDown() override {
        cli.reset();
        loop.processPending();
        EXPECT_EQ(TWSocket::liveCount(), 0);
        LoopTest::TearDown();
    }

    // Fetches url on a fresh record and runs the loop until OnRequestDone (about 20 s at most).
    bool fetch(const std::string& url) {
        body.clear();
        doneErrors.clear();
        locations.clear();
        cli->setURL(url);
        cli->GetASync();
        return runUntil([this] { return !doneErrors.empty(); }, 400);
    }
    // Fetches url and expects status and the whole document.
    void fetchesTheDocument(const std::string& url, int status = 200) {
        ASSERT_TRUE(fetch(url)) << url;
        EXPECT_EQ(cli->StatusCode(), status) << url;
        EXPECT_TRUE(status != 200 || body == servers.document) << url;
    }

    HttpServers& servers = HttpServers::instance();
    std::unique_ptr<THttpCli> cli = std::make_unique<THttpCli>(loop);
    std::string body;
    std::vector<std::string> locations;
    std::vector<int> doneErrors;
};

// Over TLS: the document, a range, an http page redirecting to https (followed only when
// allowed), refused certificates (fetched with verification off), and the proxies: tinyproxy
// with and without its login (plain and as CONNECT tunnel), microsocks' SOCKS 5 under TLS.
TEST_F(NetIntegration, TlsRedirectsRefusedCertificatesAndProxies) {
    TlsServers& tls = TlsServers::instance();
    std::uint16_t httpPort = 0;
    const std::uint16_t port = tls.start("good", &httpPort);
    ASSERT_NE(port, 0) << "nginx over TLS did not start; see " << servers.work.path();
    const std::string document = TlsServers::https(port, "/index.html");
    fetchesTheDocument(document);
    cli->setContentRangeBegin("1000");
    ASSERT_TRUE(fetch(document));
    EXPECT_EQ(cli->StatusCode(), 206);
    EXPECT_EQ(body, servers.document.substr(1000));
    cli->setContentRangeBegin("");

    fetchesTheDocument(HttpServers::at(httpPort, "/secure/index.html"), 301);
    cli->setFollowHttps(true);
    fetchesTheDocument(HttpServers::at(httpPort, "/secure/index.html"));
    EXPECT_EQ(locations, std::vector<std::string>{document});

    for (const auto& [kind, status] :
         {std::pair{"wronghost", kTlsWrongHostName}, std::pair{"expired", kTlsCertificateExpired},
          std::pair{"stranger", kTlsUnknownIssuer}}) {
        SCOPED_TRACE(kind);
        const std::uint16_t refused = tls.start(kind);
        ASSERT_NE(refused, 0);
        cli->setVerifyCertificates(true);
        ASSERT_TRUE(fetch(TlsServers::https(refused, "/index.html")));
        EXPECT_EQ(cli->StatusCode(), status);
        EXPECT_EQ(cli->ReasonPhrase(), tlsFailureText(status));
        EXPECT_TRUE(body.empty());
        cli->setVerifyCertificates(false);
        fetchesTheDocument(TlsServers::https(refused, "/index.html"));
    }

    ASSERT_TRUE(servers.startNginx() && servers.startProxy());
    cli->setProxy("127.0.0.1:" + std::to_string(servers.proxyPort));
    for (const std::string& url : {HttpServers::at(servers.nginxPort, "/index.html"), document}) {
        cli->setProxyUsername("");
        fetchesTheDocument(url, 407);
        EXPECT_TRUE(url != document || body.empty()) << "nothing of the proxy's answer";
        cli->setProxyUsername(HttpServers::ProxyUser);
        cli->setProxyPassword(HttpServers::ProxyPassword);
        fetchesTheDocument(url);
    }

    cli->setProxy("");
    const std::uint16_t socksPort = servers.startMicrosocks();
    ASSERT_NE(socksPort, 0);
    // The socket keeps these until its next session closes.
    cli->CtrlSocket()->setSocksServer("127.0.0.1");
    cli->CtrlSocket()->setSocksPort(std::to_string(socksPort));
    fetchesTheDocument(document);
}

// A name with an IPv6 and an IPv4 address of which only IPv4 answers (a private /etc/hosts): the
// request goes through over IPv4.
TEST_F(NetIntegration, ANameWhoseIPv6AddressFailsConnectsOverIPv4) {
    if (std::getenv(PrivateHostsVariable) == nullptr) {
        const int status = rerunWithPrivateHosts("::1 dual.test\n127.0.0.1 dual.test\n");
        if (status == -1) {
            GTEST_SKIP() << "no private mount namespace here (unshare -m is not permitted)";
        }
        EXPECT_EQ(status, 0);
        return;
    }
    {
        // IPv6 leads: the unreachable address is tried first.
        TWSocket socket(loop);
        int lookedUp = -1;
        socket.OnDnsLookupDone = [&](TWSocket&, int error) { lookedUp = error; };
        socket.DnsLookup("dual.test");
        ASSERT_TRUE(runUntil([&] { return lookedUp != -1; }));
        EXPECT_EQ(socket.DnsResultList(), (std::vector<std::string>{"::1", "127.0.0.1"}));
    }
    ASSERT_TRUE(servers.startNginx());
    // Refused on ::1 the next address is tried at once; silent, after its head start.
    for (const bool silent : {false, true}) {
        const SilentIPv6Port hole(silent ? servers.nginxPort : 0);
        ASSERT_TRUE(!silent || hole.ok);
        fetchesTheDocument("http://dual.test:" + std::to_string(servers.nginxPort) + "/index.html");
    }
    // Where neither address answers, the request fails once, with the last failure.
    ASSERT_TRUE(fetch("http://dual.test:" + std::to_string(freePort()) + "/"));
    EXPECT_EQ(doneErrors, std::vector<int>{10061});
}

constexpr const char* SocksUser = "qhsockstest";
constexpr const char* SocksPassword = "s0cks-pass";
const std::string Hello = "hello through socks\r\n";

// The SOCKS proxy of a row's name, 0 when it did not start. Dante runs as root here (CI does
// too) and checks passwords against system accounts.
std::uint16_t socksProxy(const std::string& name) {
    LoopbackServers& servers = LoopbackServers::instance();
    if (name == "microsocks-auth")
        return servers.start(name, {"/usr/bin/microsocks", "-i", "127.0.0.1", "-u", SocksUser, "-P",
                                    SocksPassword, "-p", "PORT"});
    const bool login = name == "dante-auth";
    std::vector<std::string> args{"dante", made(servers.work / name), login ? "username" : "none"};
    if (login)
        args.insert(args.end(), {SocksUser, SocksPassword});
    return servers.start(name, LoopbackServers::script("proxy_servers.py", args));
}

// Each row goes through its proxy to the echo server (sending the payload and checking the bytes
// that come back), or fails with the proxy's SOCKS code.
TEST_F(NetIntegration, SocksExchangesAndRefusalsThroughEachServer) {
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
        {"dante-auth", "5", SocksPassword, Hello, "127.0.0.1"},
        {"microsocks-auth", "5", SocksPassword, std::string(70000, 'm') + "\r\n", "127.0.0.1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.proxy) + " " + row.level + " " + row.destination);
        const std::uint16_t port = socksProxy(row.proxy);
        ASSERT_NE(port, 0);
        const bool closed = std::string(row.destination) == "closed port";
        TWSocket socket(loop);
        socket.setSocksServer("127.0.0.1");
        socket.setSocksPort(std::to_string(port));
        socket.setSocksLevel(row.level);
        if (row.password != nullptr) {
            socket.setSocksAuthentication(TSocksAuthentication::socksAuthenticateUsercode);
            socket.setSocksUsercode(SocksUser);
            socket.setSocksPassword(row.password);
        }
        socket.setAddr(closed ? "127.0.0.1" : row.destination);
        socket.setPort(std::to_string(closed ? freePort() : echo));
        int connected = -1, closes = 0;
        std::string socksError, echoed;
        socket.OnSocksError = [&](TWSocket&, int code, const std::string& msg) {
            socksError = std::to_string(code) + " " + msg;
        };
        socket.OnSessionConnected = [&](TWSocket& s, int error) {
            connected = error;
            if (error == 0)
                s.SendStr(row.payload);
        };
        socket.OnDataAvailable = [&](TWSocket& s, int) {
            echoed += s.ReceiveStr();
            if (echoed.size() >= row.payload.size())
                s.Close();
        };
        socket.OnSessionClosed = [&](TWSocket&, int) { ++closes; };
        socket.Connect();
        runUntil([&] { return closes != 0; }, 400);
        EXPECT_EQ(socket.State(), TSocketState::wsClosed);
        EXPECT_EQ(connected, closed ? SocksConnectionRefused : 0) << socksError;
        EXPECT_EQ(socksError, row.socksError);
        EXPECT_TRUE(echoed == (closed ? "" : row.payload)) << echoed.size() << " bytes came back";
        EXPECT_EQ(closes, 1);
    }
}

// A whole receive (connect, CWD, TYPE I, PORT/EPRT or PASV/EPSV through SOCKS 5, RETR, QUIT)
// against each server, actively and passively; the file arrives byte for byte. Over IPv6 the
// client listens on ::1 and names it in EPRT, or passes EPSV's port through SOCKS 5.
TEST_F(NetIntegration, FtpReceiveFetchesTheFileByteForByteFromEachServer) {
    FtpServers& ftp = FtpServers::instance();
    ASSERT_TRUE(ftp.startPyftpdlib() && ftp.startVsftpd());
    const std::uint16_t ipv6 = ftp.startIpv6();
    const std::uint16_t socks = servers.startMicrosocks();
    ASSERT_TRUE(ipv6 != 0 && socks != 0);
    TempDirectory directory;
    for (const std::uint16_t port : {ftp.pyftpdlibPort, ftp.vsftpdPort, ipv6}) {
        for (const bool passive : {false, true}) {
            SCOPED_TRACE(std::to_string(port) + (passive ? " passive" : " active"));
            TFtpClient client(loop);
            std::vector<int> done;
            std::string shown;
            client.OnRequestDone = [&](TFtpClient&, TFtpRequest request, int error) {
                done.push_back(request == TFtpRequest::Receive ? error : -1);
            };
            client.OnDisplay = [&](TFtpClient&, std::string& text) { shown += text + "\n"; };
            client.setHostName(port == ipv6 ? "::1" : "127.0.0.1");
            client.setPort(std::to_string(port));
            client.setUserName(port == ftp.vsftpdPort ? "anonymous" : "anna");
            client.setPassWord("secret");
            client.setHostDirName("/pub");
            client.setHostFileName("file.bin");
            const std::string local = directory / (std::to_string(port) + std::to_string(passive));
            client.setLocalFileName(local);
            if (passive) {
                client.setConnectionType(TFtpConnectionType::ftpSocks5);
                client.setSocksServer("127.0.0.1");
                client.setSocksPort(std::to_string(socks));
            }
            client.receive();
            runUntil([&] { return !done.empty(); }, 600);
            EXPECT_EQ(done, std::vector<int>{0}) << client.ErrorMessage();
            EXPECT_TRUE(contentsOf(local) == pattern(FtpServers::FileSize));
            EXPECT_EQ(shown.find("> PASV\n") != std::string::npos, passive && port != ipv6);
            EXPECT_EQ(shown.find("> EPSV\n") != std::string::npos, passive && port == ipv6);
            EXPECT_EQ(shown.find("> EPRT |2|::1|") != std::string::npos, !passive && port == ipv6);
            EXPECT_TRUE(shown.find("> TYPE I\n") != std::string::npos &&
                        shown.find("> QUIT\n") != std::string::npos);
            EXPECT_FALSE(client.Connected());
        }
    }
}

}  // namespace
}  // namespace quillharbor::test
