// The FTP slot against pyftpdlib, vsftpd and ftp-proxy on loopback, every command it sends
// written down.

#include <algorithm>
#include <utility>

#include "clients/hl_ftp_client.h"
#include "clients/slot_fixture.h"
#include "model/message_identity.h"

namespace quillharbor::test {
namespace {

class FtpSlotTest : public SlotTest<THLFTPClient> {
protected:
    void SetUp() override {
        SlotTest::SetUp();
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
    std::unique_ptr<THLFTPClient> makeSlot(int index, const std::string& proxy = "") {
        auto made = std::make_unique<THLFTPClient>(loop, index, SlotContext{"", reportTo, &state});
        made->configure({5, "anonymous", "user@void", proxy});
        made->FtpCli().OnDisplay = [this](TFtpClient&, std::string& text) {
            if (text.rfind("> ", 0) == 0) {
                sent.push_back(text.substr(2));
            }
        };
        return made;
    }
    using SlotTest::object;
    TDnObj& object(std::uint16_t port, const std::string& path) {
        return object("ftp://127.0.0.1:" + std::to_string(port) + path);
    }
    bool wasSent(const std::string& command) const {
        return std::find(sent.begin(), sent.end(), command) != sent.end();
    }
    bool sentAny(const std::string& part) const {
        return std::any_of(sent.begin(), sent.end(),
                           [&](const std::string& c) { return c.find(part) != c.npos; });
    }
    // vsftpd logs in anonymous users only.
    void loginFor(std::uint16_t port) {
        task->FtpUser = port == servers.vsftpdPort ? "anonymous" : "anna";
    }

    FtpServers& servers = FtpServers::instance();
    std::vector<std::string> sent;

private:
    std::int64_t m_progressAfter = 0;
    std::function<void()> m_progressAction;
};

// Each server actively and, through ftp-proxy, passively, each in a task of its own: the whole
// wire sequence, every report in order, and the file byte for byte. vsftpd logs in by USER alone,
// so no PASS goes out.
TEST_F(FtpSlotTest, RetrievesTheFileAndReportsEveryStep) {
    ASSERT_TRUE(servers.startVsftpd() && servers.startProxy());
    for (const auto& [vsftpd, passive] : {std::pair{false, false}, std::pair{false, true},
                                          std::pair{true, false}, std::pair{true, true}}) {
        const std::uint16_t port = vsftpd ? servers.vsftpdPort : servers.pyftpdlibPort;
        const std::string name = std::to_string(port) + (passive ? "passive" : "active");
        SCOPED_TRACE(name);
        taskDir = work.make(name) + "/";
        task = &state.TaskList.TaskInsert(
            NewTask(name, "ftp://h/", taskDir, 0, "", 0, 0, "anna", "secret"));
        loginFor(port);
        slot = makeSlot(0, passive ? "127.0.0.1:" + std::to_string(servers.proxyPort) : "");
        reports.clear();
        sent.clear();
        state.BytesWindow = 0;
        TDnObj& file = object(port, "/pub/file.bin");
        ASSERT_TRUE(fetch(file));

        EXPECT_EQ(local(file), pattern(FtpServers::FileSize));
        EXPECT_EQ(file.LocalName, "file.bin");
        EXPECT_EQ(file.State, ObjectState::Retrieved);
        EXPECT_EQ(file.Size, static_cast<std::int64_t>(FtpServers::FileSize));
        EXPECT_EQ(file.Received, file.Size);
        EXPECT_EQ(state.BytesWindow, file.Size);
        EXPECT_EQ(file.Status, 226);
        EXPECT_EQ(file.ContentType, "noparsing");
        EXPECT_EQ(task->Queued, 0);
        EXPECT_EQ(slot->InUse(), 0);
        EXPECT_TRUE(admissionLast && freeAtAdmission);
        EXPECT_EQ(slot->FtpCli().UserName(), "anonymous");
        EXPECT_EQ(slot->FtpCli().PassWord(), "user@void");

        std::vector<unsigned> got = offsets();
        ASSERT_GE(got.size(), 6u);
        EXPECT_EQ(std::vector<unsigned>(got.begin(), got.begin() + 3),
                  (std::vector<unsigned>{130, 132, 146}));
        EXPECT_EQ(std::vector<unsigned>(got.end() - 2, got.end()),
                  (std::vector<unsigned>{129, 134}));
        EXPECT_TRUE(
            std::all_of(got.begin() + 3, got.end() - 2, [](unsigned o) { return o == 142; }));
        for (const Report& report : reports) {
            EXPECT_EQ(report.wParam, report.offset == 134 ? identityOf(*task) : identityOf(file));
        }

        const std::string user = "USER " + task->FtpUser;
        EXPECT_TRUE(wasSent(passive ? user + "@127.0.0.1:" + std::to_string(port) : user));
        EXPECT_EQ(wasSent("PASS secret"), !vsftpd);
        for (const char* command :
             {"CWD /pub/", "TYPE I", "SIZE file.bin", "RETR file.bin", "QUIT"}) {
            EXPECT_TRUE(wasSent(command)) << command;
        }
        EXPECT_EQ(wasSent("PASV"), passive);
    }
}

// A partial file continues from its end, beyond 2 GiB too; one that outgrew the server's copy
// starts over.
TEST_F(FtpSlotTest, ResumesAPartialFileAndStartsOverALongerOne) {
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    const std::string whole = pattern(FtpServers::FileSize);
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        loginFor(port);
        TDnObj& partial = object(port, "/pub/file.bin");
        partial.LocalName = "partial-" + std::to_string(port);
        partial.Received = 100000;  // the file grew after its count was last written
        writeFile(taskDir + partial.LocalName, whole.substr(0, 123457));
        reports.clear();
        state.BytesWindow = 0;
        ASSERT_TRUE(fetch(partial));
        EXPECT_TRUE(wasSent("REST 123457"));
        EXPECT_EQ(local(partial), whole);
        EXPECT_NE(reported(EngineMessage::FtpRestartComplete), -1);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), -1);
        EXPECT_EQ(partial.State, ObjectState::Retrieved);
        EXPECT_EQ(partial.Received, partial.Size);
        EXPECT_EQ(state.BytesWindow, partial.Size - 123457) << "the bytes present are not counted";
    }

    // Another URL of the same file: the task already holds the first one.
    TDnObj& longer = object(servers.vsftpdPort, "/pub/../pub/file.bin");
    longer.LocalName = "longer";
    longer.Received = 1;
    writeFile(taskDir + longer.LocalName, whole + "tail");
    sent.clear();
    ASSERT_TRUE(fetch(longer));
    EXPECT_FALSE(sentAny("REST"));
    EXPECT_EQ(local(longer), whole);
    EXPECT_EQ(longer.State, ObjectState::Retrieved);

    task->FtpUser = "anna";
    constexpr std::int64_t have = FtpServers::Beyond2GiB - 1500;
    TDnObj& huge = object(servers.pyftpdlibPort, "/pub/huge.bin");
    huge.LocalName = "huge.bin";
    huge.Received = have;
    writeFile(taskDir + huge.LocalName, "");
    std::filesystem::resize_file(taskDir + huge.LocalName, have);
    state.BytesWindow = 0;
    ASSERT_TRUE(fetch(huge));
    EXPECT_TRUE(wasSent("REST " + std::to_string(have)));
    EXPECT_EQ(huge.Size, FtpServers::Beyond2GiB);
    EXPECT_EQ(huge.Received, FtpServers::Beyond2GiB);
    EXPECT_EQ(huge.State, ObjectState::Retrieved);
    EXPECT_EQ(state.BytesWindow, 1500);
    std::ifstream in(taskDir + huge.LocalName, std::ios::binary);
    in.seekg(FtpServers::Beyond2GiB - 1000);
    std::string last(1000, '\0');
    in.read(last.data(), 1000);
    EXPECT_EQ(last, pattern(1000));
}

// Error replies end the object as an FTP error and the session with QUIT. A refused SIZE
// retrieves nothing; a refused RETR keeps the object resumable (its size is known). A URL that
// names no directory cannot change to one: a component failure, and the slot goes on.
TEST_F(FtpSlotTest, FailuresEndTheObjectAndStillQuit) {
    ASSERT_TRUE(servers.startRefusingSize() && servers.startVsftpd() && servers.startPyftpdlib());
    TDnObj& unsized = object(servers.refusingSizePort, "/pub/file.bin");
    ASSERT_TRUE(fetch(unsized));
    EXPECT_EQ(reported(EngineMessage::FtpError), 500);
    EXPECT_EQ(unsized.State, ObjectState::FtpError);
    EXPECT_EQ(unsized.Status, 500);
    EXPECT_TRUE(unsized.LocalName.empty());
    EXPECT_TRUE(std::filesystem::is_empty(taskDir));
    EXPECT_FALSE(wasSent("RETR file.bin"));
    EXPECT_TRUE(wasSent("QUIT"));

    task->FtpUser = "anonymous";
    reports.clear();
    sent.clear();
    TDnObj& locked = object(servers.vsftpdPort, "/pub/locked.bin");
    ASSERT_TRUE(fetch(locked));
    EXPECT_EQ(offsets(), (std::vector<unsigned>{130, 132, 146, 148, 134}));
    EXPECT_EQ(reports[3].lParam, 550);
    EXPECT_EQ(locked.Status, 550);
    EXPECT_EQ(locked.Size, 1000);
    EXPECT_EQ(locked.State, ObjectState::Incomplete);
    EXPECT_EQ(local(locked), "");
    EXPECT_TRUE(wasSent("QUIT"));
    EXPECT_EQ(task->Queued, 0);

    task->FtpUser = "anna";
    reports.clear();
    sent.clear();
    TDnObj& bare = object("ftp://127.0.0.1:" + std::to_string(servers.pyftpdlibPort));
    ASSERT_TRUE(fetch(bare));
    EXPECT_EQ(offsets(), (std::vector<unsigned>{130, 132, 136, 134}));
    EXPECT_EQ(bare.State, ObjectState::Failed);
    EXPECT_FALSE(sentAny("CWD"));
    EXPECT_FALSE(slot->FtpCli().Connected());
    TDnObj& next = object(servers.pyftpdlibPort, "/other/file.bin");
    ASSERT_TRUE(fetch(next));
    EXPECT_EQ(local(next), pattern(5000, 7));
    EXPECT_EQ(reports.back().offset, 134u);
}

// The engine's abort in the middle of a retrieval: the component reports 426 later, the QUIT
// finds no connection, and the object ends resumable with what arrived. After the last byte,
// while the report of the finished retrieval waits, the file is whole and stays retrieved.
TEST_F(FtpSlotTest, AnAbortLeavesTheObjectResumableOrRetrieved) {
    ASSERT_TRUE(servers.startPyftpdlib());
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
    EXPECT_EQ(big.Status, 426);
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_GT(big.Received, 1000000);
    EXPECT_LT(big.Received, big.Size);
    EXPECT_EQ(local(big), pattern(FtpServers::BigSize).substr(0, big.Received));
    EXPECT_EQ(task->Queued, 0);

    reports.clear();
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
    EXPECT_NE(reported(EngineMessage::ObjectDone), -1);
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(local(file), pattern(FtpServers::FileSize));
}

// Two slots fetching same-named files at once: the first name is claimed when it is chosen. A
// failed object whose name another took meanwhile gets its own; a file nobody counts bytes of
// starts over.
TEST_F(FtpSlotTest, OnlyAFileTheObjectHoldsAndCountsIsContinued) {
    ASSERT_TRUE(servers.startPyftpdlib());
    std::unique_ptr<THLFTPClient> second = makeSlot(1);
    TDnObj& pub = object(servers.pyftpdlibPort, "/pub/file.bin");
    TDnObj& other = object(servers.pyftpdlibPort, "/other/file.bin");
    slot->Start(pub);
    second->Start(other);
    ASSERT_TRUE(runUntil([&] { return slot->ready() && second->ready(); }));
    EXPECT_NE(pub.LocalName, other.LocalName);
    EXPECT_EQ(local(pub), pattern(FtpServers::FileSize));
    EXPECT_EQ(local(other), pattern(5000, 7));
    EXPECT_EQ(task->Queued, 0);
    second.reset();

    writeFile(taskDir + pub.LocalName, "kept");
    TDnObj& failed = object(servers.pyftpdlibPort, "/pub/../pub/file.bin");
    failed.LocalName = pub.LocalName;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(local(pub), "kept");
    EXPECT_NE(failed.LocalName, pub.LocalName);
    EXPECT_EQ(local(failed), pattern(FtpServers::FileSize));

    writeFile(taskDir + "left", "from a failed run");
    TDnObj& uncounted = object(servers.pyftpdlibPort, "/other/../pub/file.bin");
    uncounted.LocalName = "left";
    sent.clear();
    ASSERT_TRUE(fetch(uncounted));
    EXPECT_FALSE(wasSent("REST 17"));
    EXPECT_EQ(local(uncounted), pattern(FtpServers::FileSize));
}

// A slot let go of its object (the task is being removed) reports nothing more about it and
// serves the next object; a slot destroyed mid-transfer settles its object itself.
TEST_F(FtpSlotTest, AbandonAndDestructionMidTransfer) {
    ASSERT_TRUE(servers.startPyftpdlib());
    TDnObj& dropped = object(servers.pyftpdlibPort, "/pub/big.bin");
    std::int64_t received = 0;
    duringTransfer(100000, [&] {
        slot->abandon();
        received = dropped.Received;
        EXPECT_EQ(slot->Obj(), nullptr);
        EXPECT_EQ(slot->InUse(), 0);
        EXPECT_FALSE(slot->ready());
    });
    slot->Start(dropped);
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(dropped.State, ObjectState::Retrieving);
    EXPECT_EQ(dropped.Received, received);
    EXPECT_TRUE(std::all_of(reports.begin(), reports.end(), [](const Report& r) {
        return r.offset == 130 || r.offset == 132 || r.offset == 146 || r.offset == 142;
    }));

    TDnObj& next = object(servers.pyftpdlibPort, "/other/file.bin");
    ASSERT_TRUE(fetch(next));
    EXPECT_EQ(next.State, ObjectState::Retrieved);

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
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        const bool vsftpd = port == servers.vsftpdPort;
        loginFor(port);
        const std::string server = "ftp://127.0.0.1:" + std::to_string(port);
        SCOPED_TRACE(server);
        sent.clear();
        TDnObj& tree = object(port, "/tree/");
        ASSERT_TRUE(fetch(tree));
        EXPECT_EQ(tree.State, ObjectState::Retrieved);
        EXPECT_EQ(tree.ContentType, "text/html");
        EXPECT_EQ(tree.LocalName.rfind("tree", 0), 0u) << "named after its directory";
        EXPECT_EQ(reports.back().offset, static_cast<unsigned>(EngineMessage::ScanLinks));
        EXPECT_EQ(tree.Received, tree.Size);
        EXPECT_EQ(wasSent("NLST"), vsftpd);
        const std::string page = local(tree);
        const char* const end = vsftpd ? "\"" : "/\"";
        for (const std::string& link :
             {server + "/tree/with%20space.txt\"", server + "/tree/sub%20dir" + end,
              server + "/tree/empty" + end}) {
            EXPECT_NE(page.find("href=\"" + link), std::string::npos) << link << "\n" << page;
        }

        TDnObj& sub = object(port, "/tree/sub%20dir");
        ASSERT_TRUE(fetch(sub));
        EXPECT_TRUE(wasSent("SIZE sub dir") && wasSent("CWD sub dir"));
        EXPECT_EQ(sub.State, ObjectState::Retrieved);
        EXPECT_EQ(sub.LocalName.rfind("sub dir", 0), 0u) << sub.LocalName;
        EXPECT_TRUE(sub.LocalName.ends_with(".html"));
        EXPECT_NE(local(sub).find(server + "/tree/sub%20dir/a%26b.bin"), std::string::npos);

        TDnObj& spaced = object(port, "/tree/with%20space.txt");
        ASSERT_TRUE(fetch(spaced));
        EXPECT_TRUE(wasSent("RETR with space.txt"));
        EXPECT_EQ(spaced.LocalName.rfind("with space", 0), 0u);
        EXPECT_EQ(local(spaced), pattern(100, 100));

        TDnObj& smuggled = object(port, "/tree/x%0D%0ADELE%20with%20space.txt");
        ASSERT_TRUE(fetch(smuggled));
        EXPECT_EQ(smuggled.State, ObjectState::Failed);
        EXPECT_FALSE(sentAny("DELE"));
    }
    EXPECT_TRUE(std::filesystem::exists(servers.root + "/tree/with space.txt"));

    // A server that gives a directory a size: RETR is refused, and the empty file claimed for it
    // goes when the page comes.
    ASSERT_TRUE(servers.startRefusingSize());
    task->FtpUser = "anna";
    sent.clear();
    TDnObj& sized = object(servers.refusingSizePort, "/tree/empty");
    ASSERT_TRUE(fetch(sized));
    EXPECT_TRUE(wasSent("RETR empty") && wasSent("CWD empty") && wasSent("MLSD"));
    EXPECT_EQ(sized.State, ObjectState::Retrieved);
    EXPECT_EQ(sized.LocalName, "empty.html");
    EXPECT_FALSE(std::filesystem::exists(taskDir + "empty"));
}

}  // namespace
}  // namespace quillharbor::test
