#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/ftp_client.h"
#include "net/ftp_exception.h"
#include "net/loopback.h"
#include "platform/loop_fixture.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

const std::string Login = "USER=331 Password required|PASS=230 Logged in";

// The server's side of a control connection; every command it receives is recorded.
struct Ftp {
    test::Peer& peer;
    std::vector<std::string>& commands;

    void reply(const std::string& lines) const { peer.send(lines + "\r\n"); }
    std::string command() {
        std::string line = peer.until("\r\n");
        if (!line.empty())
            commands.push_back(line);
        return line;
    }
    // Answers commands from the table ("USER=reply|PASS=reply...": four letters each) until one
    // is not in it, which it returns.
    std::string answer(const std::string& table) {
        for (;;) {
            const std::string got = command();
            const std::size_t at =
                got.empty() ? std::string::npos : ("|" + table).find("|" + got.substr(0, 4));
            if (at == std::string::npos)
                return got;
            const std::size_t from = at + 5;
            reply(table.substr(from, table.find('|', from) - from));
        }
    }
};

// Connects to the port a PORT command named, as an active-mode server does.
int connectToPort(const std::string& portCommand) {
    int high = 0, low = 0;
    std::sscanf(portCommand.c_str(), "PORT %*d,%*d,%*d,%*d,%d,%d", &high, &low);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto port = static_cast<std::uint16_t>(high * 256 + low);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

using Done = std::pair<TFtpRequest, int>;  // a request reported done and its error

class FtpClientTest : public LoopTest {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override {
        client.reset();
        server.reset();
        EXPECT_EQ(TWSocket::liveCount(), 0);
        LoopTest::TearDown();
    }

    // A new client toward 127.0.0.1, and a server playing the script when there is one.
    void fresh(std::function<void(Ftp&)> script = nullptr) {
        client.reset();
        server.reset();
        done.clear();
        shown.clear();
        errors.clear();
        commands.clear();
        std::filesystem::remove(local("file.bin"));
        client = std::make_unique<TFtpClient>(loop);
        client->OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
            done.push_back({request, error});
            if (onDone)
                onDone(request, error);
        };
        client->OnDisplay = [this](TFtpClient&, std::string& text) { shown.push_back(text); };
        client->OnError = [this](TFtpClient&, std::string& text) { errors.push_back(text); };
        client->setHostName("127.0.0.1");
        client->setUserName("anna");
        client->setPassWord("secret");
        client->setHostDirName("/pub");
        client->setHostFileName("file.bin");
        client->setLocalFileName(local("file.bin"));
        onDone = nullptr;
        if (script) {
            server.emplace([this, script](test::Peer& peer) {
                Ftp ftp{peer, commands};
                script(ftp);
            });
            client->setPort(server->port());
        }
    }
    // A server that sends the greeting and answers from the table until a command is not in it.
    void serve(const std::string& greeting, const std::string& table) {
        fresh([=](Ftp& s) {
            s.peer.send(greeting);
            s.answer(table);
        });
    }
    // Connects, then starts `next` once connected.
    void connectThen(void (TFtpClient::*next)()) {
        onDone = [this, next](TFtpRequest request, int error) {
            if (request == TFtpRequest::Connect && error == 0)
                (client.get()->*next)();
        };
        client->connect();
    }
    // Drives the loop until `count` requests were reported done, or one failed when `failed` is
    // set; for at most 20 s.
    bool runUntilDone(std::size_t count = 1, bool failed = false) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const auto over = [&] {
            return done.size() >= count || (failed && !done.empty() && done.back().second);
        };
        while (!over() && std::chrono::steady_clock::now() < end)
            loop.runOnce(std::chrono::milliseconds(20));
        return over();
    }
    // The commands the server received, once its script ended.
    const std::vector<std::string>& received() {
        server->join();
        return commands;
    }
    std::string local(const std::string& name) const { return m_directory / name; }
    std::string localFile() const {
        std::ifstream in(local("file.bin"), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::unique_ptr<TFtpClient> client;
    std::optional<test::ScriptedServer> server;
    std::vector<Done> done;
    std::vector<std::string> shown, errors, commands;
    std::function<void(TFtpRequest, int)> onDone;

private:
    test::TempDirectory m_directory;
};

// Misuse is reported and changes nothing; the steps asked for run one by one.
TEST_F(FtpClientTest, SingleStepsAfterConnectAndQuitAndMisuse) {
    // The reply ends at its own code followed by a blank, not at the line that looks like one.
    serve("220-Welcome\r\n150 files at most\r\n220 ready\r\n",
          Login +
              "|CWD =250 \"/pub/x\"\"y\" is current|TYPE=200 Type set|SIZE=213 3221225472|QUIT=221 "
              "Bye");
    int greetings = 0;
    client->OnSessionConnected = [&](TFtpClient&, int) { ++greetings; };
    onDone = [this](TFtpRequest request, int error) {
        ASSERT_EQ(error, 0);
        if (request == TFtpRequest::Connect) {
            client->connect();
            client->setConnectionType(TFtpConnectionType::ftpProxy);
            for (const std::string& directory : {std::string("/pub\r\nDELE precious.txt"),
                                                 std::string("/pub\0x", 6), std::string()}) {
                client->setHostDirName(directory);
                client->changeDirectory();
            }
            client->setHostDirName("/pub");
            client->changeDirectory();
        } else if (request == TFtpRequest::ChangeDirectory) {
            client->binaryType();
        } else if (request == TFtpRequest::Type) {
            client->setHostFileName("big.iso");
            client->size();
        } else if (request == TFtpRequest::Size) {
            client->quit();
        }
    };
    client->connect();
    client->connect();
    client->size();
    EXPECT_TRUE(done.empty()) << "reported inside the call";
    ASSERT_TRUE(runUntilDone(5));
    EXPECT_EQ(greetings, 1);
    EXPECT_EQ(done.back(), (Done{TFtpRequest::Quit, 0}));
    EXPECT_EQ(client->DirResult(), "/pub/x\"y");
    EXPECT_EQ(client->SizeResult(), 3221225472LL);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->State(), TFtpState::Ready);
    EXPECT_EQ(received(), (std::vector<std::string>{"USER anna", "PASS secret", "CWD /pub",
                                                    "TYPE I", "SIZE big.iso", "QUIT"}));
    for (const char* line : {"> PASS secret", "< 221 Bye"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), line), shown.end()) << line;
    client->setLocalFileName("");
    client->retrieve();
    EXPECT_EQ(
        errors,
        (std::vector<std::string>{
            "FTP component not ready", "FTP component not ready", "FTP component already connected",
            "FTP component connected", "FTP command contains a line end or NUL",
            "FTP command contains a line end or NUL", "HostDirName emtpy", "LocalFileName empty"}));
    client->OnError = nullptr;
    EXPECT_THROW(client->receive(), FtpException);

    serve("220 ready\r\n", "");
    client->setUserName("");
    // An exception thrown by a handler the loop runs stops the session.
    onDone = [](TFtpRequest, int) { throw std::runtime_error("handler failed"); };
    bool canClose = false;
    client->OnBgException = [&](TFtpClient&, const std::exception& e, bool& close) {
        EXPECT_STREQ(e.what(), "handler failed");
        canClose = close;
    };
    client->connect();
    ASSERT_TRUE(runUntilDone());
    // The step that cannot start ends the request.
    EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 500}));
    EXPECT_EQ(errors.back(), "UserName emtpy");
    EXPECT_TRUE(canClose);
    EXPECT_FALSE(client->Connected());
}

// Every retrieval ends once, after both the final reply and the close of the data connection,
// whichever comes first, with the whole file; passive connections go to the control peer only.
TEST_F(FtpClientTest, RetrievalsEndAfterReplyAndCloseWithTheWholeFile) {
    using R = TFtpRequest;
    struct Row {
        const char* name;
        R request;
        std::string how;  // 'p' through a proxy, 's' a stale local file, 'f' the reply first
        std::size_t size;
        std::string commands;
    };
    const std::string active = "USER anna|PASS secret|PORT 127,0,0,1|RETR file.bin|";
    const std::string receive =
        "USER anna|PASS secret|CWD /pub|TYPE I|PORT 127,0,0,1|RETR file.bin|QUIT|";
    const Row rows[] = {{"receive, reply after close", R::Receive, "", 100000, receive},
                        {"receive, reply before close", R::Receive, "f", 100000, receive},
                        {"proxy mode", R::Retrieve, "p", 5000,
                         "USER anna@ftp.example.org|PASS secret|PASV|RETR file.bin|"},
                        {"no local file: no restart", R::RestartRetrieve, "", 3000, active},
                        {"a REST not answered 350 is not trusted", R::RestartRetrieve, "s", 3000,
                         "USER anna|PASS secret|PORT 127,0,0,1|REST 11|RETR file.bin|"},
                        // A server far faster than the client does not keep the loop to itself.
                        {"large file", R::Retrieve, "", 8 << 20, active}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string content = pattern(row.size);
        test::RawListener data;
        const bool proxy = row.how == "p", replyFirst = row.how == "f";
        fresh([&](Ftp& s) {
            s.reply("220 ready");
            // The address in the passive reply is not where the client goes.
            const std::string passive = "227 Entering Passive Mode (10,9,8,7," +
                                        std::to_string(data.port() / 256) + "," +
                                        std::to_string(data.port() % 256) + ").";
            if (s.answer(Login + "|CWD =250 OK|TYPE=200 Type set|PORT=200 PORT ok|PASV=" + passive +
                         "|REST=200 REST ignored") != "RETR file.bin")
                return;
            const auto port =
                std::find_if(s.commands.rbegin(), s.commands.rend(),
                             [](const std::string& c) { return c.starts_with("PORT"); });
            const int fd = proxy ? data.accept() : connectToPort(*port);
            s.reply("150 Here it comes");
            if (replyFirst)
                s.reply("226 Transfer complete");
            test::writeAll(fd, content);
            ::close(fd);
            if (!replyFirst)
                s.reply("226 Transfer complete");
            if (s.command() == "QUIT")
                s.reply("221 Bye");
        });
        if (row.how == "s")
            std::ofstream(local("file.bin"), std::ios::binary) << "stale bytes";
        if (proxy) {
            client->setConnectionType(TFtpConnectionType::ftpProxy);
            client->setProxyServer("127.0.0.1");
            client->setHostName("ftp.example.org");
        }
        // Another target keeps posting to itself, noting how much of the file had arrived.
        std::vector<std::int64_t> seen;
        Recorder ticker(loop);
        ticker.onReceive = [&](const Message&) {
            seen.push_back(client->LocalStreamSize());
            loop.post(ticker.handle(), WM_USER);
        };
        loop.post(ticker.handle(), WM_USER);
        if (row.request == R::Receive)
            client->receive();
        else
            connectThen(row.request == R::Retrieve ? &TFtpClient::retrieve
                                                   : &TFtpClient::restartRetrieve);
        const std::size_t count = row.request == R::Receive ? 1 : 2;
        ASSERT_TRUE(runUntilDone(count));
        for (int i = 0; i < 5; ++i) loop.runOnce(std::chrono::milliseconds(10));
        ASSERT_EQ(done.size(), count) << "nothing else comes later";
        EXPECT_EQ(done.back(), (Done{row.request, 0}));
        const std::string file = localFile();
        EXPECT_EQ(file.size(), content.size());
        EXPECT_TRUE(file == content);
        EXPECT_EQ(client->LastResponse(), "226 Transfer complete");
        client->AbortAsync();
        std::string got;
        for (const std::string& command : received())
            got += (command.starts_with("PORT 127,0,0,1,") ? command.substr(0, 14) : command) + "|";
        EXPECT_EQ(got, row.commands);
        const auto size = static_cast<std::int64_t>(content.size());
        const auto midway =
            std::count_if(seen.begin(), seen.end(), [&](auto n) { return n > 0 && n < size; });
        EXPECT_GE(midway, row.size > (1 << 20) ? 8 : 0)
            << "the loop is served while a file arrives";
    }
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& line) {
        return line.starts_with("! 8388608 bytes received/sent in ");
    }));
}

TEST_F(FtpClientTest, FailuresEndTheRequestWithTheirCode) {
    using R = TFtpRequest;
    const std::string ready = "220 ready\r\n";
    const std::string passive = Login + "|PASV=227 Entering Passive Mode (127,0,0,1,0)";
    // start: 'c' connect, 'd' then change directory, 'r' then retrieve through a proxy, 'f' the
    // same into a missing folder, 'a' abort in the look-up (no server). text: in the last
    // response or the error message. A refused connect is the FTP slot's test.
    const struct {
        const char* name;
        char start;
        std::string greeting;
        Done done;
        std::string text = "";
    } rows[] = {
        {"the server hangs up instead of answering", 'd', ready, {R::ChangeDirectory, 500}, ""},
        {"busy greeting", 'c', "421 Too many users\r\n", {R::Connect, 421}, "421 Too many users"},
        {"a line never ending in the reply buffer", 'c', std::string(4095, '2'), {R::Connect, 500}},
        // No connection yet whose close would report the request.
        {"aborted during the look-up", 'a', "", {R::Connect, 426}},
        {"the local file cannot be created", 'f', ready, {R::Retrieve, 550}, "cannot create '"},
        {"no port in a PASV reply", 'r', ready, {R::Retrieve, 550}, "connection, error #10022"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fresh();
        if (!row.greeting.empty())
            serve(row.greeting, row.start == 'd' ? Login : row.start == 'c' ? "" : passive);
        if (row.start == 'r' || row.start == 'f') {
            client->setConnectionType(TFtpConnectionType::ftpProxy);
            client->setProxyServer("127.0.0.1");
        }
        if (row.start == 'f')
            client->setLocalFileName(local("no/such/dir/file.bin"));
        if (row.start == 'a')
            client->setHostName("localhost");
        if (row.start == 'd' || row.start == 'r' || row.start == 'f')
            connectThen(row.start == 'd' ? &TFtpClient::changeDirectory : &TFtpClient::retrieve);
        else
            client->connect();
        if (row.start == 'a') {
            EXPECT_EQ(client->State(), TFtpState::LookingUp);
            client->AbortAsync();
        }
        ASSERT_TRUE(runUntilDone(3, true));
        EXPECT_EQ(done.back(), row.done);
        EXPECT_NE((client->LastResponse() + "\n" + client->ErrorMessage()).find(row.text),
                  std::string::npos);
        EXPECT_EQ(client->State(), TFtpState::Ready);
        client->AbortAsync();
        if (server)
            server->join();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "RETR file.bin"), 0);
    }
}

TEST_F(FtpClientTest, AbortReturnsWhenTheClientIsDestroyedWhileItWaits) {
    serve("220 ready\r\n", Login);
    bool restarted = false;
    client->OnStateChange = [&](TFtpClient& sender) {
        // A request started from a handler keeps Abort waiting.
        if (sender.State() == TFtpState::Ready && !restarted) {
            restarted = true;
            sender.connect();
        }
    };
    Recorder destroy(loop);
    destroy.onReceive = [this](const Message&) { client.reset(); };
    loop.post(destroy.handle(), WM_USER);
    client->setTimeout(10);
    EXPECT_FALSE(client->Abort());
    EXPECT_TRUE(restarted);
    EXPECT_EQ(client, nullptr);
    EXPECT_TRUE(done.empty());
}

}  // namespace
}  // namespace quillharbor
