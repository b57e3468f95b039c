// The FTP slot against pyftpdlib, vsftpd and ftp-proxy on loopback: one task with a fresh
// directory, objects started the way the scheduler starts them, every report and every command
// sent written down.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "clients/ftp_servers.h"
#include "clients/hl_ftp_client.h"
#include "model/message_identity.h"

namespace quillharbor::test {
namespace {

constexpr unsigned offsetOf(EngineMessage message) {
    return static_cast<unsigned>(message);
}

class FtpSlotTest : public ::testing::Test, public MessageTarget {
protected:
    struct Report {
        unsigned offset;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void SetUp() override {
        state.DefaultFtpUser = "anonymous";
        state.DefaultFtpPassword = "user@void";
        taskDir = work.make("task") + "/";
        task = &state.TaskList.TaskInsert(
            NewTask("t", "ftp://h/", taskDir, 0, "", 0, 0, "anna", "secret"));
        reportTo = loop.add(*this);
        slot = makeSlot(0);
    }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }
    void onMessage(const Message& message) override {
        reports.push_back({message.number - WM_USER, message.wParam, message.lParam});
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
    TDnObj& object(std::uint16_t port, const std::string& path) {
        return *NewDnObj(*task, "ftp://127.0.0.1:" + std::to_string(port) + path, 1);
    }
    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 600 && !done(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        loop.processPending();
        return done();
    }
    // Starts the object and runs the loop until the slot is free again (30 s at most).
    bool fetch(TDnObj& target, THLFTPClient* on = nullptr) {
        THLFTPClient& used = on != nullptr ? *on : *slot;
        used.Start(target);
        return runUntil([&used] { return used.ready(); }) && used.Obj() == nullptr;
    }
    bool wasSent(const std::string& command) const {
        return std::find(sent.begin(), sent.end(), command) != sent.end();
    }
    std::vector<unsigned> offsets() const {
        std::vector<unsigned> result;
        for (const Report& report : reports) {
            result.push_back(report.offset);
        }
        return result;
    }
    const Report* reported(EngineMessage message) const {
        const auto found = std::find_if(reports.begin(), reports.end(), [&](const Report& r) {
            return r.offset == offsetOf(message);
        });
        return found == reports.end() ? nullptr : &*found;
    }
    std::string local(const TDnObj& target) const { return contentsOf(taskDir + target.LocalName); }

    FtpServers& servers = FtpServers::instance();
    TempDirectory work;
    std::string taskDir;
    MessageLoop loop;
    EngineState state;
    TTask* task = nullptr;
    Handle reportTo = 0;
    std::unique_ptr<THLFTPClient> slot;
    std::vector<Report> reports;
    std::vector<std::string> sent;

private:
    std::int64_t m_progressAfter = 0;
    std::function<void()> m_progressAction;
};

// Each server actively and, through ftp-proxy, passively: the whole wire sequence, every report
// in order, and the file byte for byte. vsftpd logs in by USER alone, so no PASS goes out.
class FtpSlotServers : public FtpSlotTest,
                       public ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(FtpSlotServers, RetrievesTheFileAndReportsEveryStep) {
    const bool vsftpd = std::string(std::get<0>(GetParam())) == "vsftpd";
    const bool passive = std::get<1>(GetParam());
    ASSERT_TRUE(vsftpd ? servers.startVsftpd() : servers.startPyftpdlib());
    const std::uint16_t port = vsftpd ? servers.vsftpdPort : servers.pyftpdlibPort;
    if (vsftpd) {
        task->FtpUser = "anonymous";
    }
    if (passive) {
        ASSERT_TRUE(servers.startProxy());
        slot->configure(
            {5, "anonymous", "user@void", "127.0.0.1:" + std::to_string(servers.proxyPort)});
    }
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
    EXPECT_EQ(slot->FtpCli().UserName(), "anonymous");
    EXPECT_EQ(slot->FtpCli().PassWord(), "user@void");

    std::vector<unsigned> got = offsets();
    ASSERT_GE(got.size(), 6u);
    const std::vector<unsigned> head(got.begin(), got.begin() + 3);
    const std::vector<unsigned> tail(got.end() - 2, got.end());
    EXPECT_EQ(head, (std::vector<unsigned>{130, 132, 146}));
    EXPECT_EQ(tail, (std::vector<unsigned>{129, 134}));
    EXPECT_TRUE(std::all_of(got.begin() + 3, got.end() - 2, [](unsigned o) { return o == 142; }));
    for (const Report& report : reports) {
        EXPECT_EQ(report.wParam, report.offset == 134 ? identityOf(*task) : identityOf(file));
    }

    const std::string user = vsftpd ? "anonymous" : "anna";
    EXPECT_TRUE(
        wasSent(passive ? "USER " + user + "@127.0.0.1:" + std::to_string(port) : "USER " + user));
    EXPECT_EQ(wasSent("PASS secret"), !vsftpd);
    for (const char* command : {"CWD /pub/", "TYPE I", "SIZE file.bin", "RETR file.bin", "QUIT"}) {
        EXPECT_TRUE(wasSent(command)) << command;
    }
    EXPECT_EQ(wasSent("PASV"), passive);
}

INSTANTIATE_TEST_SUITE_P(ActiveAndPassive, FtpSlotServers,
                         ::testing::Combine(::testing::Values("pyftpdlib", "vsftpd"),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Passive" : "Active");
                         });

// An object whose local file is there continues it from its end; one whose file outgrew the
// server's copy starts over.
TEST_F(FtpSlotTest, ResumesAPartialFileAndStartsOverALongerOne) {
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    const std::string whole = pattern(FtpServers::FileSize);
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        task->FtpUser = port == servers.vsftpdPort ? "anonymous" : "anna";
        TDnObj& partial = object(port, "/pub/file.bin");
        partial.LocalName = "partial-" + std::to_string(port);
        partial.Received = 100000;  // the file grew after its count was last written
        std::ofstream(taskDir + partial.LocalName, std::ios::binary) << whole.substr(0, 123457);
        reports.clear();
        state.BytesWindow = 0;
        ASSERT_TRUE(fetch(partial));
        EXPECT_TRUE(wasSent("REST 123457"));
        EXPECT_EQ(local(partial), whole);
        EXPECT_NE(reported(EngineMessage::FtpRestartComplete), nullptr);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), nullptr);
        EXPECT_EQ(partial.State, ObjectState::Retrieved);
        EXPECT_EQ(partial.Received, partial.Size);
        EXPECT_EQ(state.BytesWindow, partial.Size - 123457) << "the bytes present are not counted";
    }

    // Another URL of the same file: the task already holds the first one.
    TDnObj& longer = *NewDnObj(
        *task, "ftp://127.0.0.1:" + std::to_string(servers.vsftpdPort) + "/pub/../pub/file.bin", 1);
    longer.LocalName = "longer";
    longer.Received = 1;
    std::ofstream(taskDir + longer.LocalName, std::ios::binary) << whole << "tail";
    sent.clear();
    ASSERT_TRUE(fetch(longer));
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("REST", 0) == 0; }));
    EXPECT_EQ(local(longer), whole);
    EXPECT_EQ(longer.State, ObjectState::Retrieved);
}

TEST_F(FtpSlotTest, AFileBeyond2GiBResumesAtTheRightOffset) {
    ASSERT_TRUE(servers.startPyftpdlib());
    constexpr std::int64_t have = FtpServers::Beyond2GiB - 1500;
    TDnObj& huge = object(servers.pyftpdlibPort, "/pub/huge.bin");
    huge.LocalName = "huge.bin";
    huge.Received = have;
    { std::ofstream(taskDir + huge.LocalName, std::ios::binary); }
    std::filesystem::resize_file(taskDir + huge.LocalName, have);
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
// retrieves nothing; a refused RETR keeps the object resumable (its size is known).
TEST_F(FtpSlotTest, ErrorRepliesEndTheObjectAndStillQuit) {
    ASSERT_TRUE(servers.startRefusingSize() && servers.startVsftpd());
    TDnObj& unsized = object(servers.refusingSizePort, "/pub/file.bin");
    ASSERT_TRUE(fetch(unsized));
    ASSERT_NE(reported(EngineMessage::FtpError), nullptr);
    EXPECT_EQ(reported(EngineMessage::FtpError)->lParam, 500);
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
}

// The engine's abort in the middle of a retrieval: the component reports 426 later, the QUIT
// finds no connection, and the object ends resumable with what arrived.
TEST_F(FtpSlotTest, AnAbortDuringARetrievalLeavesTheObjectResumable) {
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

    ASSERT_NE(reported(EngineMessage::FtpError), nullptr);
    EXPECT_EQ(reported(EngineMessage::FtpError)->lParam, 426);
    EXPECT_NE(reported(EngineMessage::NetworkError), nullptr) << "QUIT without a connection";
    EXPECT_EQ(big.Status, 426);
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_GT(big.Received, 1000000);
    EXPECT_LT(big.Received, big.Size);
    EXPECT_EQ(local(big), pattern(FtpServers::BigSize).substr(0, big.Received));
    EXPECT_EQ(task->Queued, 0);
}

// The engine's abort can also come after the last byte, while the report of the finished
// retrieval waits in the queue: the file is whole and stays retrieved, though its QUIT finds no
// connection.
TEST_F(FtpSlotTest, AnAbortAfterTheLastByteKeepsTheRetrievedFile) {
    ASSERT_TRUE(servers.startPyftpdlib());
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
    EXPECT_EQ(reported(EngineMessage::NetworkError), nullptr);
    EXPECT_NE(reported(EngineMessage::ObjectDone), nullptr);
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(local(file), pattern(FtpServers::FileSize));
}

// "ftp://host:port" names no directory: the change of directory cannot start, the object
// fails as a component failure, and the session is closed so that the slot serves the next one.
TEST_F(FtpSlotTest, AUrlWithoutADirectoryFailsAndTheSlotGoesOn) {
    ASSERT_TRUE(servers.startPyftpdlib());
    TDnObj& bare = *NewDnObj(*task, "ftp://127.0.0.1:" + std::to_string(servers.pyftpdlibPort), 1);
    ASSERT_TRUE(fetch(bare));
    EXPECT_EQ(offsets(), (std::vector<unsigned>{130, 132, 136, 134}));
    EXPECT_EQ(bare.State, ObjectState::Failed);
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("CWD", 0) == 0; }));
    EXPECT_FALSE(slot->FtpCli().Connected());

    TDnObj& next = object(servers.pyftpdlibPort, "/other/file.bin");
    ASSERT_TRUE(fetch(next));
    EXPECT_EQ(next.State, ObjectState::Retrieved);
    EXPECT_EQ(local(next), pattern(5000, 7));
    EXPECT_EQ(reports.back().offset, 134u);
}

// Two slots of one task fetching files of the same name from two directories at once: the first
// name is claimed when it is chosen, so the second gets its own.
TEST_F(FtpSlotTest, TwoSlotsNeverShareALocalFile) {
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
}

// A failed object whose name another object took meanwhile, and a file nobody counts bytes of,
// are never continued: the first gets a name of its own, the second starts over.
TEST_F(FtpSlotTest, OnlyAFileTheObjectHoldsAndCountsIsContinued) {
    ASSERT_TRUE(servers.startPyftpdlib());
    TDnObj& holder = object(servers.pyftpdlibPort, "/other/file.bin");
    holder.LocalName = "file.bin";
    std::ofstream(taskDir + "file.bin", std::ios::binary) << "kept";
    TDnObj& failed = object(servers.pyftpdlibPort, "/pub/file.bin");
    failed.LocalName = "file.bin";
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(local(holder), "kept");
    EXPECT_EQ(failed.LocalName, "file-1.bin");
    EXPECT_EQ(local(failed), pattern(FtpServers::FileSize));

    std::ofstream(taskDir + "left", std::ios::binary) << "from a failed run";
    TDnObj& uncounted = object(servers.pyftpdlibPort, "/pub/../pub/file.bin");
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

    // Another URL of the same file: the task already holds the first one.
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
        task->FtpUser = vsftpd ? "anonymous" : "anna";
        const std::string server = "ftp://127.0.0.1:" + std::to_string(port);
        SCOPED_TRACE(server);
        sent.clear();
        reports.clear();
        TDnObj& tree = object(port, "/tree/");
        ASSERT_TRUE(fetch(tree));
        EXPECT_EQ(tree.State, ObjectState::Retrieved);
        EXPECT_EQ(tree.ContentType, "text/html");
        EXPECT_EQ(tree.LocalName.rfind("tree", 0), 0u) << "named after its directory";
        EXPECT_EQ(offsets().back(), offsetOf(EngineMessage::ScanLinks)) << "instead of 134";
        EXPECT_EQ(tree.Received, tree.Size);
        EXPECT_EQ(wasSent("NLST"), vsftpd);
        const std::string page = local(tree);
        const std::string subDir = server + "/tree/sub%20dir" + (vsftpd ? "\"" : "/\"");
        for (const std::string& link : {server + "/tree/with%20space.txt\"", subDir,
                                        server + "/tree/empty" + (vsftpd ? "\"" : "/\"")}) {
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
        EXPECT_TRUE(std::none_of(sent.begin(), sent.end(),
                                 [](const std::string& c) { return c.find("DELE") != c.npos; }));
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
