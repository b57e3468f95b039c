#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"
#include "net/ftp_client.h"
#include "net/ftp_exception.h"

namespace quillharbor {
namespace {

using test::RawListener;
using test::writeAll;

// The server's side of one control connection, played on a thread of its own with blocking
// calls that give up after two seconds. Every command received is recorded.
class ServerSession {
public:
    explicit ServerSession(int control) : m_control(control) {}

    void reply(const std::string& lines) { writeAll(m_control, lines + "\r\n"); }
    void raw(const std::string& bytes) { writeAll(m_control, bytes); }

    // The next command without its CR LF; empty when the client closed or said nothing.
    std::string command() {
        for (;;) {
            const std::size_t end = m_buffer.find("\r\n");
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 2);
                commands.push_back(line);
                return line;
            }
            pollfd ready{m_control, POLLIN, 0};
            char bytes[512];
            if (::poll(&ready, 1, 2000) != 1)
                return {};
            const ssize_t got = ::recv(m_control, bytes, sizeof bytes, 0);
            if (got <= 0)
                return {};
            m_buffer.append(bytes, static_cast<std::size_t>(got));
        }
    }

    // Answers commands from a table until one is not in it; returns that one.
    std::string answer(const std::vector<std::pair<std::string, std::string>>& table) {
        for (;;) {
            const std::string got = command();
            bool known = false;
            for (const auto& [prefix, response] : table)
                if (!known && got.rfind(prefix, 0) == 0) {
                    reply(response);
                    known = true;
                }
            if (!known)
                return got;
        }
    }

    // Connects to the port named by a PORT command, as an active-mode server does.
    static int connectToPort(const std::string& portCommand) {
        int numbers[6] = {};
        if (std::sscanf(portCommand.c_str(), "PORT %d,%d,%d,%d,%d,%d", &numbers[0], &numbers[1],
                        &numbers[2], &numbers[3], &numbers[4], &numbers[5]) != 6)
            return -1;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(numbers[4] * 256 + numbers[5]));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    // Sends the file over a data connection to the port a PORT command named, with the final
    // reply before or after the data connection closes.
    void sendFile(const std::string& portCommand, const std::string& content,
                  bool replyFirst = false) {
        reply("150 Opening BINARY mode data connection");
        const int data = connectToPort(portCommand);
        if (replyFirst)
            reply("226 Transfer complete");
        writeAll(data, content);
        ::close(data);
        if (!replyFirst)
            reply("226 Transfer complete");
    }

    static std::string passiveReply(const RawListener& data, const std::string& host) {
        return "227 Entering Passive Mode (" + host + "," + std::to_string(data.port() / 256) +
               "," + std::to_string(data.port() % 256) + ").";
    }

    std::vector<std::string> commands;

private:
    int m_control;
    std::string m_buffer;
};

// Accepts one control connection and runs the script on it.
class ScriptedServer {
public:
    using Script = std::function<void(ServerSession&)>;
    explicit ScriptedServer(Script script)
        : m_thread([this, script = std::move(script)] {
              const int fd = m_listener.accept();
              if (fd < 0)
                  return;
              ServerSession session(fd);
              script(session);
              m_commands = session.commands;
              ::close(fd);
          }) {}
    ~ScriptedServer() { join(); }

    std::string port() const { return m_listener.portText(); }
    // Waits for the script to end.
    const std::vector<std::string>& commands() {
        join();
        return m_commands;
    }

private:
    void join() {
        if (m_thread.joinable())
            m_thread.join();
    }

    RawListener m_listener;
    std::vector<std::string> m_commands;
    std::thread m_thread;  // last: starts when the rest is ready
};

const std::vector<std::pair<std::string, std::string>> Login = {
    {"USER", "331 Password required"},
    {"PASS", "230 Logged in"},
};

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

struct Done {
    TFtpRequest request;
    int error;
    bool operator==(const Done&) const = default;
};

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        char directory[] = "/tmp/ftp_client_test.XXXXXX";
        ASSERT_NE(::mkdtemp(directory), nullptr);
        m_directory = directory;
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
        client->setLocalFileName(local("file.bin"));
    }

    void TearDown() override {
        client.reset();
        EXPECT_EQ(TWSocket::liveCount(), 0);
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
        std::filesystem::remove_all(m_directory);
    }

    std::string local(const std::string& name) const { return m_directory + "/" + name; }

    // Drives the loop until `count` requests were reported done.
    bool runUntilDone(std::size_t count = 1) {
        for (int i = 0; i < 500 && done.size() < count; ++i)
            loop.runOnce(std::chrono::milliseconds(20));
        return done.size() >= count;
    }

    bool wasShown(const std::string& text) const {
        return std::find(shown.begin(), shown.end(), text) != shown.end();
    }

    MessageLoop loop;
    std::unique_ptr<TFtpClient> client;
    std::vector<Done> done;
    std::vector<std::string> shown;
    std::vector<std::string> errors;
    std::function<void(TFtpRequest, int)> onDone;

private:
    std::string m_directory;
};

TEST_F(FtpClientTest, SingleStepsAfterConnectAndQuit) {
    ScriptedServer server([](ServerSession& s) {
        // The reply ends at its own code followed by a blank, not at the line that looks like one.
        s.reply("220-Welcome\r\n150 files at most\r\n220 ready");
        const std::string last = s.answer({
            {"USER", "331 Password required"},
            {"PASS", "230 Logged in"},
            {"CWD", "250 \"/pub/x\"\"y\" is current"},
            {"TYPE", "200 Type set"},
            {"SIZE", "213 3221225472"},
        });
        if (last == "QUIT")
            s.reply("221 Bye");
    });
    client->setPort(server.port());
    int greetings = 0;
    client->OnSessionConnected = [&](TFtpClient&, int) { ++greetings; };
    onDone = [this](TFtpRequest request, int error) {
        ASSERT_EQ(error, 0);
        if (request == TFtpRequest::Connect) {
            client->changeDirectory();
            EXPECT_EQ(errors, (std::vector<std::string>{"HostDirName emtpy"}));
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
    EXPECT_TRUE(done.empty()) << "reported inside the call";
    ASSERT_TRUE(runUntilDone(5));
    EXPECT_EQ(greetings, 1);
    EXPECT_EQ(done.back(), (Done{TFtpRequest::Quit, 0}));
    EXPECT_EQ(client->DirResult(), "/pub/x\"y");
    EXPECT_EQ(client->SizeResult(), 3221225472LL);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->State(), TFtpState::Ready);
    EXPECT_EQ(server.commands(), (std::vector<std::string>{"USER anna", "PASS secret", "CWD /pub",
                                                           "TYPE I", "SIZE big.iso", "QUIT"}));
    EXPECT_TRUE(wasShown("> PASS secret"));
    EXPECT_TRUE(wasShown("< 221 Bye"));
}

// Active mode: the final reply and the close of the data connection come in either order; the
// request ends once, after both.
class FtpRetrievalOrder : public FtpClientTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpRetrievalOrder, ReceiveWritesTheWholeFileAndEndsAfterReplyAndClose) {
    const bool replyFirst = GetParam();
    const std::string content = pattern(100000);
    ScriptedServer server([&](ServerSession& s) {
        s.reply("220 ready");
        const std::string port =
            s.answer({Login[0], Login[1], {"CWD", "250 OK"}, {"TYPE", "200 Type set"}});
        s.reply("200 PORT command successful");
        if (s.command() != "RETR file.bin")
            return;
        s.sendFile(port, content, replyFirst);
        if (s.command() == "QUIT")
            s.reply("221 Bye");
    });
    client->setPort(server.port());
    client->setHostDirName("/pub");
    client->setHostFileName("file.bin");
    client->receive();
    ASSERT_TRUE(runUntilDone());
    // Nothing else comes later.
    for (int i = 0; i < 5; ++i) loop.runOnce(std::chrono::milliseconds(10));
    ASSERT_EQ(done, (std::vector<Done>{{TFtpRequest::Receive, 0}}));
    EXPECT_EQ(fileContents(local("file.bin")), content);
    EXPECT_EQ(client->LastResponse(), "226 Transfer complete");
    EXPECT_FALSE(client->Connected());
    const std::vector<std::string>& commands = server.commands();
    ASSERT_EQ(commands.size(), 7u);
    EXPECT_EQ(commands[4].rfind("PORT 127,0,0,1,", 0), 0u) << commands[4];
    EXPECT_EQ(commands[5], "RETR file.bin");
    EXPECT_EQ(commands[6], "QUIT");
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& line) {
        return line.rfind("! 100000 bytes received/sent in ", 0) == 0;
    }));
}

INSTANTIATE_TEST_SUITE_P(ReplyBeforeOrAfterClose, FtpRetrievalOrder, ::testing::Bool());

// Posts itself again on every delivery, noting how much of the file had arrived each time.
class Ticker : public MessageTarget {
public:
    Ticker(MessageLoop& loop, std::function<std::int64_t()> arrived)
        : m_loop(loop), m_handle(loop.add(*this)), m_arrived(std::move(arrived)) {
        m_loop.post(m_handle, WM_USER);
    }
    ~Ticker() override { m_loop.remove(m_handle); }

    void onMessage(const Message&) override {
        seen.push_back(m_arrived());
        m_loop.post(m_handle, WM_USER);
    }

    std::vector<std::int64_t> seen;

private:
    MessageLoop& m_loop;
    Handle m_handle;
    std::function<std::int64_t()> m_arrived;
};

// A server far faster than the client must not keep the loop to itself: other messages are
// delivered while the file arrives, and the file still arrives whole, its end included, which may
// still wait in the socket when the close is reported.
TEST_F(FtpClientTest, OtherMessagesAreDeliveredWhileAFastServerSendsALargeFile) {
    const std::string content = pattern(8 * 1024 * 1024);
    ScriptedServer server([&](ServerSession& s) {
        s.reply("220 ready");
        const std::string port = s.answer(Login);
        s.reply("200 PORT command successful");
        if (s.command() != "RETR file.bin")
            return;
        s.sendFile(port, content);
        s.command();
    });
    client->setPort(server.port());
    client->setHostFileName("file.bin");
    onDone = [this](TFtpRequest request, int error) {
        if (request == TFtpRequest::Connect && error == 0)
            client->retrieve();
    };
    const Ticker ticker(loop, [this] { return client->LocalStreamSize(); });
    client->connect();
    // The ticker keeps the loop from ever waiting, so the bound counts quick turns.
    for (int i = 0; i < 1000000 && done.size() < 2; ++i)
        loop.runOnce(std::chrono::milliseconds(20));
    ASSERT_EQ(done, (std::vector<Done>{{TFtpRequest::Connect, 0}, {TFtpRequest::Retrieve, 0}}));
    const std::string received = fileContents(local("file.bin"));
    ASSERT_EQ(received.size(), content.size());
    EXPECT_TRUE(received == content);
    const auto size = static_cast<std::int64_t>(content.size());
    const auto midway = std::count_if(ticker.seen.begin(), ticker.seen.end(),
                                      [&](std::int64_t seen) { return seen > 0 && seen < size; });
    EXPECT_GE(midway, 8) << "the loop turned " << ticker.seen.size() << " times in all";
    client->AbortAsync();
}

TEST_F(FtpClientTest, ProxyModeLogsInAsUserAtHostAndConnectsToTheControlPeerOnly) {
    const std::string content = pattern(5000);
    RawListener data;
    ScriptedServer server([&](ServerSession& s) {
        s.reply("220 proxy ready");
        // The address in the reply is not where the client goes.
        if (s.answer(Login) == "PASV")
            s.reply(ServerSession::passiveReply(data, "10,9,8,7"));
        if (s.command() != "RETR file.bin")
            return;
        const int fd = data.accept();
        s.reply("150 Here it comes");
        writeAll(fd, content);
        ::close(fd);
        s.reply("226 Done");
        s.command();
    });
    client->setConnectionType(TFtpConnectionType::ftpProxy);
    client->setProxyServer("127.0.0.1");
    client->setHostName("ftp.example.org");
    client->setPort(server.port());
    client->setHostFileName("file.bin");
    onDone = [this](TFtpRequest request, int error) {
        if (request == TFtpRequest::Connect && error == 0)
            client->retrieve();
    };
    client->connect();
    ASSERT_TRUE(runUntilDone(2));
    EXPECT_EQ(done[1], (Done{TFtpRequest::Retrieve, 0}));
    EXPECT_EQ(fileContents(local("file.bin")), content);
    client->setConnectionType(TFtpConnectionType::ftpDirect);
    EXPECT_EQ(errors, (std::vector<std::string>{"FTP component connected"}));
    client->AbortAsync();
    EXPECT_EQ(server.commands(),
              (std::vector<std::string>{"USER anna@ftp.example.org", "PASS secret", "PASV",
                                        "RETR file.bin"}));
}

// With no local file nothing is resumed; a REST answered with anything but 350 is not trusted.
class FtpRestartRefused : public FtpClientTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpRestartRefused, RetrievesFromTheStart) {
    const bool haveLocalFile = GetParam();
    const std::string content = pattern(3000);
    if (haveLocalFile) {
        std::ofstream partial(local("file.bin"), std::ios::binary);
        partial << "stale bytes";
    }
    ScriptedServer server([&](ServerSession& s) {
        s.reply("220 ready");
        const std::string port = s.answer(Login);
        s.reply("200 PORT ok");
        std::string next = s.command();
        if (next.rfind("REST", 0) == 0) {
            s.reply("200 REST ignored");
            next = s.command();
        }
        if (next != "RETR file.bin")
            return;
        s.sendFile(port, content);
        s.command();
    });
    client->setPort(server.port());
    client->setHostFileName("file.bin");
    onDone = [this](TFtpRequest request, int error) {
        if (request == TFtpRequest::Connect && error == 0)
            client->restartRetrieve();
    };
    client->connect();
    ASSERT_TRUE(runUntilDone(2));
    EXPECT_EQ(done[1], (Done{TFtpRequest::RestartRetrieve, 0}));
    EXPECT_EQ(fileContents(local("file.bin")), content);
    client->AbortAsync();
    const std::vector<std::string>& commands = server.commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[3], haveLocalFile ? "REST 11" : "RETR file.bin");
}

INSTANTIATE_TEST_SUITE_P(LocalFileOrNot, FtpRestartRefused, ::testing::Bool());

// Runs a function when its message arrives.
class Callback : public MessageTarget {
public:
    Callback(MessageLoop& loop, std::function<void()> function)
        : m_loop(loop), m_handle(loop.add(*this)), m_function(std::move(function)) {}
    ~Callback() override { m_loop.remove(m_handle); }
    void onMessage(const Message&) override { m_function(); }
    void post() { m_loop.post(m_handle, WM_USER); }

private:
    MessageLoop& m_loop;
    Handle m_handle;
    std::function<void()> m_function;
};

TEST_F(FtpClientTest, AbortReturnsWhenTheClientIsDestroyedWhileItWaits) {
    ScriptedServer server([](ServerSession& s) {
        s.reply("220 ready");
        s.answer(Login);
    });
    client->setPort(server.port());
    bool restarted = false;
    client->OnStateChange = [&](TFtpClient& sender) {
        // A request started from a handler keeps Abort waiting.
        if (sender.State() == TFtpState::Ready && !restarted) {
            restarted = true;
            sender.connect();
        }
    };
    Callback destroy(loop, [this] { client.reset(); });
    destroy.post();
    client->setTimeout(10);
    EXPECT_FALSE(client->Abort());
    EXPECT_TRUE(restarted);
    EXPECT_EQ(client, nullptr);
    EXPECT_TRUE(done.empty());
}

TEST_F(FtpClientTest, ControlConnectionFailures) {
    {
        // The server hangs up instead of answering: no success.
        ScriptedServer server([](ServerSession& s) {
            s.reply("220 ready");
            s.answer(Login);
        });
        client->setPort(server.port());
        client->setHostDirName("/pub");
        onDone = [this](TFtpRequest request, int error) {
            if (request == TFtpRequest::Connect && error == 0)
                client->changeDirectory();
        };
        client->connect();
        ASSERT_TRUE(runUntilDone(2));
        EXPECT_EQ(done[1], (Done{TFtpRequest::ChangeDirectory, 500}));
        EXPECT_FALSE(client->Connected());
        EXPECT_EQ(client->State(), TFtpState::Ready);
    }
    done.clear();
    onDone = nullptr;
    {
        ScriptedServer server([](ServerSession& s) { s.reply("421 Too many users"); });
        client->setPort(server.port());
        client->connect();
        ASSERT_TRUE(runUntilDone());
        EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 421}));
        EXPECT_EQ(client->ErrorMessage(), "421 Too many users");
        EXPECT_TRUE(server.commands().empty());
    }
    done.clear();
    {
        // A line that never ends within the reply buffer.
        ScriptedServer server([](ServerSession& s) {
            s.raw(std::string(4095, '2'));
            s.command();
        });
        client->setPort(server.port());
        client->connect();
        ASSERT_TRUE(runUntilDone());
        EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 500}));
    }
    done.clear();
    // An abort during the look-up: no connection whose close would report the request.
    client->setHostName("localhost");
    client->connect();
    EXPECT_EQ(client->State(), TFtpState::LookingUp);
    client->AbortAsync();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 426}));
    done.clear();
    client->setHostName("127.0.0.1");
    client->setPort(test::closedPort());
    client->connect();
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(done[0], (Done{TFtpRequest::Connect, 10061}));
    EXPECT_EQ(client->LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(client->StatusCode(), 500);
    EXPECT_EQ(client->State(), TFtpState::Ready);
}

TEST_F(FtpClientTest, DataConnectionFailures) {
    ScriptedServer server([&](ServerSession& s) {
        s.reply("220 ready");
        while (s.answer({{"USER", "331 Password required"},
                         {"PASS", "230 Logged in"},
                         {"PASV", "227 Entering Passive Mode (127,0,0,1,0)"}}) != "") {
        }
    });
    client->setConnectionType(TFtpConnectionType::ftpProxy);
    client->setProxyServer("127.0.0.1");
    client->setPort(server.port());
    client->setHostFileName("file.bin");
    onDone = [this](TFtpRequest request, int error) {
        if (request == TFtpRequest::Connect && error == 0) {
            client->setLocalFileName(local("no/such/dir/file.bin"));
            client->retrieve();
        }
    };
    client->connect();
    ASSERT_TRUE(runUntilDone(2));
    // The file cannot be opened: RETR is not sent.
    EXPECT_EQ(done[1], (Done{TFtpRequest::Retrieve, 550}));
    EXPECT_EQ(client->ErrorMessage().rfind("cannot create '", 0), 0u) << client->ErrorMessage();
    client->setLocalFileName(local("file.bin"));
    client->retrieve();
    ASSERT_TRUE(runUntilDone(3));
    EXPECT_EQ(done[2], (Done{TFtpRequest::Retrieve, 550}));
    EXPECT_EQ(client->LastResponse(), "Unable to establish data connection, error #10022");
    client->AbortAsync();
    EXPECT_EQ(server.commands(),
              (std::vector<std::string>{"USER anna@127.0.0.1", "PASS secret", "PASV", "PASV"}));
}

TEST_F(FtpClientTest, MisuseIsReportedAndChangesNothing) {
    {
        ScriptedServer server([](ServerSession& s) {
            s.reply("220 ready");
            s.answer(Login);
        });
        client->setPort(server.port());
        client->connect();
        client->connect();
        client->size();
        EXPECT_EQ(errors,
                  (std::vector<std::string>{"FTP component not ready", "FTP component not ready"}));
        ASSERT_TRUE(runUntilDone());
        client->connect();
        client->setLocalFileName("");
        client->retrieve();
        EXPECT_EQ(errors.at(2), "FTP component already connected");
        EXPECT_EQ(errors.at(3), "LocalFileName empty");
        client->setHostDirName("/pub\r\nDELE precious.txt");
        client->changeDirectory();
        EXPECT_EQ(errors.at(4), "FTP command contains a line end or NUL");
        client->setHostDirName(std::string("/pub\0x", 6));
        client->changeDirectory();
        EXPECT_EQ(errors.at(5), "FTP command contains a line end or NUL");
        client->OnError = nullptr;
        EXPECT_THROW(client->receive(), FtpException);
        client->AbortAsync();
    }
    ScriptedServer server([](ServerSession& s) {
        s.reply("220 ready");
        s.command();
    });
    client->setPort(server.port());
    client->setUserName("");
    client->OnError = [this](TFtpClient&, std::string& text) { errors.push_back(text); };
    // An exception thrown by a handler the loop runs stops the session.
    onDone = [](TFtpRequest, int) { throw std::runtime_error("handler failed"); };
    bool canClose = false;
    client->OnBgException = [&](TFtpClient&, const std::exception& e, bool& close) {
        EXPECT_STREQ(e.what(), "handler failed");
        canClose = close;
    };
    client->connect();
    ASSERT_TRUE(runUntilDone(2));
    // The step that cannot start ends the request.
    EXPECT_EQ(done[1], (Done{TFtpRequest::Connect, 500}));
    EXPECT_EQ(errors.back(), "UserName emtpy");
    EXPECT_TRUE(canClose);
    EXPECT_FALSE(client->Connected());
}

}  // namespace
}  // namespace quillharbor
