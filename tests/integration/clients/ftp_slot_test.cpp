// The FTP slot against pyftpdlib and vsftpd on loopback, every command it sends
// written down.

#include <algorithm>
#include <utility>

#include "clients/hl_ftp_client.h"
#include "clients/slot_fixture.h"

namespace quillharbor::test {
namespace {

class FtpSlotTest : public SlotTest<THLFTPClient> {
protected:
    void SetUp() override {
        SlotTest::SetUp();
        ASSERT_TRUE(servers.startVsftpd() && servers.startPyftpdlib() &&
                    servers.startRefusingSize());
        state.DefaultFtpUser = "anonymous";
        state.DefaultFtpPassword = "user@void";
        task = &state.TaskList.TaskInsert(
            NewTask("t", "ftp://h/", taskDir, 0, "", 0, 0, "anna", "secret"));
        slot = makeSlot(0);
    }
    // Runs action once, inside the progress event after `after` bytes of the file: a fast
    // transfer on loopback is read whole within one turn of the loop.
    void duringTransfer(std::int64_t after, std::function<void()> action) {
        m_progressAfter = after;
        m_progressAction = std::move(action);
        auto own = slot->FtpCli().OnProgress;
        slot->FtpCli().OnProgress = [this, own](TFtpClient& cli, std::int64_t count, bool& abort) {
            own(cli, count, abort);
            if (count > m_progressAfter && m_progressAction) {
                std::exchange(m_progressAction, nullptr)();
            }
        };
    }
    std::unique_ptr<THLFTPClient> makeSlot(int index) {
        auto made = std::make_unique<THLFTPClient>(loop, index, SlotContext{"", reportTo, &state});
        made->configure({5, "anonymous", "user@void", ""});
        made->FtpCli().OnDisplay = [this](TFtpClient&, std::string& text) {
            if (text.starts_with("> ")) {
                sent.push_back(text.substr(2));
            }
        };
        return made;
    }
    // An object of the server on port, the task logging in as that server wants (vsftpd takes
    // anonymous users only).
    TDnObj& object(std::uint16_t port, const std::string& path) {
        task->FtpUser = port == servers.vsftpdPort ? "anonymous" : "anna";
        sent.clear();
        return SlotTest::object("ftp://127.0.0.1:" + std::to_string(port) + path);
    }
    bool wasSent(const std::string& command) const {
        return std::find(sent.begin(), sent.end(), command) != sent.end();
    }
    bool sentAny(const std::string& part) const {
        return std::any_of(sent.begin(), sent.end(),
                           [&](const std::string& c) { return c.find(part) != c.npos; });
    }

    FtpServers& servers = FtpServers::instance();
    std::vector<std::string> sent;

private:
    std::int64_t m_progressAfter = 0;
    std::function<void()> m_progressAction;
};

// A partial file continues from its end, beyond 2 GiB too; one that outgrew the server's copy
// starts over; one that nobody counts bytes of starts over; a failed object whose name another
// took meanwhile gets its own. Two slots fetching same-named files at once claim two names.
TEST_F(FtpSlotTest, OnlyAFileTheObjectHoldsAndCountsIsContinued) {
    const std::string whole = pattern(FtpServers::FileSize);
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        TDnObj& partial = object(port, "/pub/file.bin");
        partial.LocalName = "partial-" + std::to_string(port);
        partial.Received = 100000;  // the file grew after its count was last written
        writeFile(taskDir + partial.LocalName, whole.substr(0, 123457));
        state.BytesWindow = 0;
        ASSERT_TRUE(fetch(partial));
        EXPECT_TRUE(wasSent("REST 123457"));
        EXPECT_TRUE(admissionLast && freeAtAdmission) << "the last word finds the slot free";
        EXPECT_EQ(local(partial), whole);
        EXPECT_NE(reported(EngineMessage::FtpRestartComplete), -1);
        EXPECT_EQ(partial.State, ObjectState::Retrieved);
        EXPECT_EQ(state.BytesWindow, partial.Size - 123457) << "the bytes present are not counted";
    }
    const struct {
        const char* path;
        const char* name;
        std::string bytes;
        std::int64_t received;
    } startsOver[] = {{"/pub/../pub/file.bin", "longer", whole + "tail", 1},
                      {"/other/../pub/file.bin", "left", "from a failed run", 0}};
    for (const auto& row : startsOver) {
        TDnObj& again = object(servers.vsftpdPort, row.path);
        again.LocalName = row.name;
        again.Received = row.received;
        writeFile(taskDir + row.name, row.bytes);
        ASSERT_TRUE(fetch(again));
        EXPECT_FALSE(sentAny("REST")) << row.name;
        EXPECT_EQ(local(again), whole) << row.name;
    }

    constexpr std::int64_t have = FtpServers::Beyond2GiB - 1500;
    TDnObj& huge = object(servers.pyftpdlibPort, "/pub/huge.bin");
    huge.LocalName = "huge.bin";
    huge.Received = have;
    writeFile(taskDir + huge.LocalName, "");
    std::filesystem::resize_file(taskDir + huge.LocalName, have);
    state.BytesWindow = 0;
    ASSERT_TRUE(fetch(huge));
    EXPECT_TRUE(wasSent("REST " + std::to_string(have)));
    EXPECT_EQ(huge.Received, FtpServers::Beyond2GiB);
    EXPECT_EQ(state.BytesWindow, 1500);
    EXPECT_EQ(tailOf(taskDir + huge.LocalName, 1000), pattern(1000));

    std::unique_ptr<THLFTPClient> second = makeSlot(1);
    TDnObj& pub = object(servers.pyftpdlibPort, "/pub/./file.bin");
    TDnObj& other = object(servers.pyftpdlibPort, "/other/file.bin");
    // One after the other: with two active-mode sessions at once pyftpdlib now and then sends
    // a whole file and never closes its data connection (curl -P stalls the same way). The
    // first object still holds its name when the second is named.
    ASSERT_TRUE(fetch(pub));
    second->Start(other);
    ASSERT_TRUE(runUntil([&] { return second->ready(); }));
    EXPECT_NE(pub.LocalName, other.LocalName);
    EXPECT_EQ(local(pub), whole);
    EXPECT_EQ(local(other), pattern(5000, 7));
    second.reset();

    writeFile(taskDir + pub.LocalName, "kept");
    TDnObj& failed = object(servers.pyftpdlibPort, "/pub/../pub/file.bin");
    failed.LocalName = pub.LocalName;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(local(pub), "kept");
    EXPECT_NE(failed.LocalName, pub.LocalName);
    EXPECT_EQ(local(failed), whole);
}

// A refused connect is an FTP error with the socket's code as its cause, and an object of known
// size stays resumable. The server is asked for the decoded name, never one cleaned like a local
// name, with the task's own login; the next object gets the default login again.
TEST_F(FtpSlotTest, AFailedConnectIsAnFtpErrorWithItsCause) {
    TDnObj& refused = object(freePort(), "/pub/a%3Fb:c.bin");
    refused.Size = 100;  // from an earlier run, with nothing of the file present
    slot->Start(refused);
    TFtpClient& cli = slot->FtpCli();
    EXPECT_EQ(cli.HostDirName() + cli.HostFileName() + " " + cli.UserName() + " " + cli.PassWord(),
              "/pub/a?b:c.bin anna secret");
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(reported(EngineMessage::FtpError), 10061);
    EXPECT_NE(reported(EngineMessage::TaskEnded), -1);
    EXPECT_TRUE(admissionLast && freeAtAdmission);
    EXPECT_EQ(std::to_string(refused.Status) + " " + std::to_string(refused.Cause) + " " +
                  refused.ContentType,
              "500 10061 noparsing");
    EXPECT_EQ(refused.State, ObjectState::Incomplete);
    EXPECT_TRUE(slot->Obj() == nullptr && slot->InUse() == 0 && !cli.Connected());
    EXPECT_EQ(cli.UserName() + " " + cli.PassWord(), "anonymous user@void");
}

// The engine's abort in the middle of a retrieval: the component reports 426 later, the QUIT
// finds no connection, and the object ends resumable with what arrived. After the last byte,
// while the report of the finished retrieval waits, the file is whole and stays retrieved. A slot
// let go of its object (the task is being removed) reports nothing more about it and serves the
// next object; a slot destroyed mid-transfer settles its object itself.
TEST_F(FtpSlotTest, AbortAbandonAndDestructionMidTransfer) {
    TDnObj& big = object(servers.pyftpdlibPort, "/pub/big.bin");
    bool pending = false;
    duringTransfer(1000000, [&] {
        slot->abort();
        big.State = ObjectState::Incomplete;  // what the engine does right after
        pending = !slot->ready() && slot->Obj() == &big;
    });
    ASSERT_TRUE(fetch(big));
    EXPECT_TRUE(pending) << "the abort's report is still to come, and the object held";
    EXPECT_EQ(reported(EngineMessage::FtpError), 426);
    EXPECT_NE(reported(EngineMessage::NetworkError), -1) << "QUIT without a connection";
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_GT(big.Received, 1000000);
    EXPECT_LT(big.Received, big.Size);
    EXPECT_EQ(local(big), pattern(FtpServers::BigSize).substr(0, big.Received));

    slot = makeSlot(0);
    TDnObj& file = object(servers.pyftpdlibPort, "/pub/file.bin");
    bool aborted = false;
    slot->FtpCli().OnStateChange = [&](TFtpClient& cli) {
        if (!aborted && cli.State() == TFtpState::Ready &&
            cli.RequestType() == TFtpRequest::Retrieve) {
            aborted = true;
            slot->abort();
        }
    };
    ASSERT_TRUE(fetch(file));
    EXPECT_TRUE(aborted);
    EXPECT_EQ(reported(EngineMessage::NetworkError), -1);
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(local(file), pattern(FtpServers::FileSize));

    TDnObj& dropped = object(servers.pyftpdlibPort, "/pub/./big.bin");
    std::int64_t received = 0;
    duringTransfer(100000, [&] {
        slot->abandon();
        received = dropped.Received;
        EXPECT_EQ(slot->Obj(), nullptr);
        EXPECT_FALSE(slot->ready());
    });
    ASSERT_TRUE(fetch(dropped));
    EXPECT_EQ(dropped.State, ObjectState::Retrieving);
    EXPECT_EQ(dropped.Received, received);
    EXPECT_TRUE(std::all_of(reports.begin(), reports.end(), [](const Report& r) {
        return r.offset == 130 || r.offset == 132 || r.offset == 146 || r.offset == 142;
    }));
    ASSERT_TRUE(fetch(object(servers.pyftpdlibPort, "/other/file.bin")));

    TDnObj& cut = object(servers.pyftpdlibPort, "/pub/../pub/big.bin");
    const int queued = task->Queued;
    duringTransfer(100000, [this] { slot.reset(); });
    slot->Start(cut);
    ASSERT_TRUE(runUntil([this] { return slot == nullptr; }));
    EXPECT_EQ(cut.State, ObjectState::Incomplete);
    EXPECT_GT(cut.Received, 100000);
    EXPECT_EQ(task->Queued, queued - 1);
}

// Names travel decoded. A URL ending with "/" is listed (MLSD; vsftpd has none and is asked for
// NLST) into a page of links for the link intake; a name refused as a file that CWD accepts is
// listed too. A decoded line end is refused before anything of it is sent.
TEST_F(FtpSlotTest, DirectoriesAreListedIntoPagesAndNamesTravelDecoded) {
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        const bool vsftpd = port == servers.vsftpdPort;
        const std::string server = "ftp://127.0.0.1:" + std::to_string(port);
        SCOPED_TRACE(server);
        TDnObj& tree = object(port, "/tree/");
        ASSERT_TRUE(fetch(tree));
        EXPECT_EQ(tree.State, ObjectState::Retrieved);
        EXPECT_EQ(tree.ContentType, "text/html");
        EXPECT_TRUE(tree.LocalName.starts_with("tree")) << "named after its directory";
        EXPECT_EQ(reports.back().offset, static_cast<unsigned>(EngineMessage::ScanLinks));
        EXPECT_EQ(wasSent("NLST"), vsftpd);
        const std::string end = vsftpd ? "\"" : "/\"";
        for (const std::string& link :
             {server + "/tree/with%20space.txt\"", server + "/tree/sub%20dir" + end,
              server + "/tree/empty" + end}) {
            EXPECT_NE(local(tree).find("href=\"" + link), std::string::npos) << link << local(tree);
        }

        TDnObj& sub = object(port, "/tree/sub%20dir");
        ASSERT_TRUE(fetch(sub));
        EXPECT_TRUE(wasSent("SIZE sub dir") && wasSent("CWD sub dir"));
        EXPECT_TRUE(sub.LocalName.starts_with("sub dir") && sub.LocalName.ends_with(".html"));
        EXPECT_NE(local(sub).find(server + "/tree/sub%20dir/a%26b.bin"), std::string::npos);

        TDnObj& spaced = object(port, "/tree/with%20space.txt");
        ASSERT_TRUE(fetch(spaced));
        EXPECT_TRUE(wasSent("RETR with space.txt"));
        EXPECT_TRUE(spaced.LocalName.starts_with("with space"));
        EXPECT_EQ(local(spaced), pattern(100, 100));

        TDnObj& smuggled = object(port, "/tree/x%0D%0ADELE%20with%20space.txt");
        ASSERT_TRUE(fetch(smuggled));
        EXPECT_EQ(smuggled.State, ObjectState::Failed);
        EXPECT_FALSE(sentAny("DELE"));
    }
    EXPECT_TRUE(std::filesystem::exists(servers.root + "/tree/with space.txt"));

    // A server that gives a directory a size: RETR is refused, and the empty file claimed for it
    // goes when the page comes.
    TDnObj& sized = object(servers.refusingSizePort, "/tree/empty");
    ASSERT_TRUE(fetch(sized));
    EXPECT_TRUE(wasSent("RETR empty") && wasSent("CWD empty") && wasSent("MLSD"));
    EXPECT_EQ(sized.State, ObjectState::Retrieved);
    EXPECT_EQ(sized.LocalName, "empty.html");
    EXPECT_FALSE(std::filesystem::exists(taskDir + "empty"));
}

}  // namespace
}  // namespace quillharbor::test
