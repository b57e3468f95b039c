// The HTTP and FTP slots on a real loop against the loopback servers: the HTTP slot against
// nginx (static files, byte ranges, TLS), through tinyproxy, and against the scripted server for
// what nginx will not do; the FTP slot against pyftpdlib and vsftpd, every command it sends
// written down.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clients/hl_ftp_client.h"
#include "clients/hl_http_client.h"
#include "model/message_identity.h"
#include "net/ftp_servers.h"
#include "net/tls_failure.h"

namespace quillharbor::test {
namespace {

// One slot of kind Slot on a real loop against the loopback servers, serving objects of one task
// with a fresh directory. What the slot posts to the main window is kept in order (offsets from
// WM_USER); the robots bodies it hands over are taken as the engine takes them.
template <class Slot>
class SlotTest : public ::testing::Test, public MessageTarget {
protected:
    struct Report {
        unsigned offset;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void SetUp() override { reportTo = loop.add(*this); }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }
    void onMessage(const Message& message) override {
        // A slot's word that it is free again follows every request; the reports keep the rest.
        admissionLast = message.number == messageNumber(EngineMessage::AdmitObjects);
        if (admissionLast) {
            freeAtAdmission = slot != nullptr && slot->ready();
            return;
        }
        reports.push_back({message.number - WM_USER, message.wParam, message.lParam});
        if (message.number == messageNumber(EngineMessage::RobotsAnswer)) {
            robotsBodies.push_back(state.RobotsBodies.take(message.wParam));
        }
    }
    // The lParam of the first report of this kind; -1 when there is none.
    std::intptr_t reported(EngineMessage message) const {
        const auto at = std::find_if(reports.begin(), reports.end(), [&](const Report& r) {
            return r.offset == static_cast<unsigned>(message);
        });
        return at == reports.end() ? -1 : at->lParam;
    }

    TDnObj& object(const std::string& url) { return *NewDnObj(*task, url, 1); }
    // The object with a local file that holds bytes already, of which it counts `received`
    // (all of them when -1).
    TDnObj& holding(TDnObj& target, const std::string& name, const std::string& bytes,
                    std::int64_t received = -1) {
        writeFile(taskDir + name, bytes);
        target.LocalName = name;
        target.Received = received == -1 ? static_cast<std::int64_t>(bytes.size()) : received;
        return target;
    }
    // As the scheduler starts an object: out of the queue, into the seen list.
    void start(Slot& on, TDnObj& target) {
        if (target.InList == GlobalList::Queue) {
            state.Queue.QueueRemove(target);
        }
        if (target.InList == GlobalList::None) {
            state.SeenList.SeenInsert(target);
        }
        on.Start(target);
    }
    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 600 && !done(); ++i) loop.runOnce(std::chrono::milliseconds(50));
        loop.processPending();
        return done();
    }
    // Starts the object on a fresh record and runs the loop until the slot is free again (30 s
    // at most).
    bool fetch(TDnObj& target) {
        reports.clear();
        start(*slot, target);
        return runUntil([this] { return slot->ready(); }) && slot->Obj() == nullptr;
    }
    std::string local(const TDnObj& target) const { return contentsOf(taskDir + target.LocalName); }

    TempDirectory work;
    const std::string& taskDir = work.path();
    MessageLoop loop;
    EngineState state;
    TTask* task = nullptr;
    Handle reportTo = 0;
    std::unique_ptr<Slot> slot;
    bool admissionLast = false;  // the last message was the word that the slot is free
    bool freeAtAdmission = false;
    std::vector<Report> reports;
    std::vector<std::optional<std::string>> robotsBodies;
};

const std::string kDocument = [] {
    std::string body = "<html><body>";
    for (int i = 0; i < 100; ++i) body += "0123456789";
    return body + "</body></html>\n";
}();

class HttpSlotTest : public SlotTest<THLHTTPClient> {
protected:
    void SetUp() override {
        SlotTest::SetUp();
        ASSERT_TRUE(servers.startNginx() && servers.startScripted());
        task = &state.TaskList.TaskInsert(NewTask("t", "http://h/", taskDir, 0, "", 0, 0, "", ""));
        slot = std::make_unique<THLHTTPClient>(
            loop, 0, SlotContext{"Mozilla/3.0(compatible)", reportTo, &state});
    }
    std::string nginx(const std::string& path) const {
        return HttpServers::at(servers.nginxPort, path);
    }
    std::string scripted(const std::string& path) const {
        return HttpServers::at(servers.scriptedPort, path);
    }

    HttpServers& servers = HttpServers::instance();
    TlsServers& tls = TlsServers::instance();
};

// One object per row on one slot, in turn; an empty body or name is left unchecked. A row with
// bytes `have` starts from a partial file of them: continued with a range (over TLS too), never
// written into by an error answer, started again by a whole answer. The slot's last word on each
// request comes once it is free again, so a fast dispatch gives it its next object at once. A
// whole page up to 1 MiB written from its start is left for the link scan as the file holds it.
TEST_F(HttpSlotTest, EachAnswerEndsTheObjectWithItsNameStateAndReports) {
    std::uint16_t httpPort = 0;
    const std::uint16_t tlsPort = tls.start("good", &httpPort);
    const std::uint16_t expired = tls.start("expired");
    ASSERT_TRUE(tlsPort != 0 && expired != 0);
    state.VerifyCertificates = true;
    std::string document;
    for (int i = 0; i < 5000; ++i) document += static_cast<char>(i * 31 + i / 7);
    writeFile(servers.root + "/doc.bin", document);
    const std::string partialPage(6000, 'p');
    const std::string large = std::string(1024 * 1024, ' ') + kDocument;
    writeFile(servers.root + "/large.html", large);
    const struct {
        std::string url;
        bool https;  // the setting that allows https
        std::string name;
        ObjectState state;
        int status;
        std::string body;
        EngineMessage report;
        std::intptr_t lParam;
        std::string have = "";
        std::int64_t size = 0;      // announced by an earlier answer; then expected the body's
        std::int64_t counted = -1;  // bytes added to the byte window; -1: unchecked
    } rows[] = {
        {nginx("/index.html"), false, "index.html", ObjectState::Retrieved, 200, servers.document,
         EngineMessage::ObjectDone, 5000},
        {nginx("/"), false, "index-1.html", ObjectState::Retrieved, 200, servers.document,
         EngineMessage::ObjectDone, 5000},
        {nginx("/missing.bin"), false, "missing.bin.html", ObjectState::ProtocolError, 404, "",
         EngineMessage::HttpError, 404},
        // An HTML answer without a length: its size is what arrived, its name gets ".html".
        {scripted("/html/run?x"), false, "run.html", ObjectState::Retrieved, 200, "",
         EngineMessage::ObjectDone, -2},
        // An http page redirecting to https is followed only with the setting.
        {HttpServers::at(httpPort, "/secure/index.html"), true, "index-2.html",
         ObjectState::Retrieved, 200, servers.document, EngineMessage::ObjectDone, 5000},
        {HttpServers::at(httpPort, "/secure/index.html?again"), false, "", ObjectState::Failed, -1,
         "", EngineMessage::HttpError, -2},
        // A refused certificate writes nothing.
        {TlsServers::https(expired, "/index.html"), true, "", ObjectState::ProtocolError,
         kTlsCertificateExpired, "", EngineMessage::HttpError, kTlsCertificateExpired},
        {nginx("/doc.bin"), false, "plain.bin", ObjectState::Done, -1, document,
         EngineMessage::ObjectDone, -2, document.substr(0, 1000), 5000, 4000},
        {TlsServers::https(tlsPort, "/doc.bin"), true, "tls.bin", ObjectState::Done, -1, document,
         EngineMessage::ObjectDone, -2, document.substr(0, 1000), 5000, 4000},
        {nginx("/index.html?416"), false, "page.html", ObjectState::ProtocolError, 416, partialPage,
         EngineMessage::HttpError, 416, partialPage},
        {scripted("/range-ignored"), false, "ignored.html", ObjectState::Retrieved, 200, kDocument,
         EngineMessage::ObjectDone, -2, std::string(300, 'x')},
        // A whole answer shorter than an earlier one announced is whole, so handed to the scanner.
        {scripted("/target.html"), false, "target.html", ObjectState::Retrieved, 200, kDocument,
         EngineMessage::ObjectDone, -2, "", 99999},
        {nginx("/index.html?resumed"), false, "resumed.html", ObjectState::Retrieved, 206,
         servers.document, EngineMessage::ObjectDone, -2, servers.document.substr(0, 1000), 5000},
        {nginx("/large.html"), false, "large.html", ObjectState::Retrieved, 200, large,
         EngineMessage::ObjectDone, -2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        state.Https = row.https;
        state.BytesWindow = 0;
        TDnObj& target =
            row.have.empty() ? object(row.url) : holding(object(row.url), row.name, row.have);
        target.Size = row.size;
        ASSERT_TRUE(fetch(target));
        EXPECT_EQ(target.State, row.state);
        EXPECT_TRUE(row.status == -1 || target.Status == row.status) << target.Status;
        EXPECT_EQ(target.LocalName, row.name);
        EXPECT_TRUE(row.body.empty() || local(target) == row.body);
        EXPECT_TRUE(row.lParam == -2 || reported(row.report) == row.lParam) << reported(row.report);
        EXPECT_TRUE(row.counted == -1 || state.BytesWindow == row.counted) << state.BytesWindow;
        EXPECT_TRUE(row.size == 0 || target.Size == static_cast<std::int64_t>(row.body.size()));
        EXPECT_TRUE(admissionLast && freeAtAdmission);
        if (const auto kept = state.PagesToScan.find(identityOf(target));
            kept != state.PagesToScan.end()) {
            EXPECT_EQ(kept->second, local(target));
        }
    }
    EXPECT_EQ(state.PagesToScan.size(), 6u) << "none of the resumed page or the large one";
    EXPECT_EQ(state.Queue.head(), nullptr) << "nothing was queued again";
    for (const char* log : {"nginx", "nginx-good"}) {
        EXPECT_NE(servers.accessLog(log).find("GET /doc.bin HTTP/1.0 \"bytes=1000-5000\" 206 4000"),
                  std::string::npos);
    }

    // A failed object fetched again while another holds its old name gets a name of its own.
    writeFile(taskDir + "index.html", "the good page");
    TDnObj& failed = object(nginx("/index.html?again"));
    failed.LocalName = "index.html";
    failed.Status = 500;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(contentsOf(taskDir + "index.html"), "the good page");
    EXPECT_EQ(failed.LocalName, "index-3.html");
    EXPECT_EQ(local(failed), servers.document);

    // The server answers only a range from 2500000000 on, of a sparse file.
    constexpr std::int64_t kOffset = 2500000000;
    TDnObj& big = holding(object(scripted("/big-resume")), "big-resume", "", kOffset);
    std::filesystem::resize_file(taskDir + "big-resume", kOffset);
    ASSERT_TRUE(fetch(big));
    EXPECT_EQ(big.Status, 206);
    EXPECT_EQ(big.Received, kOffset + 65536);
    EXPECT_EQ(big.Size, kOffset + 3000000000);
    EXPECT_EQ(std::filesystem::file_size(taskDir + "big-resume"),
              static_cast<std::uintmax_t>(kOffset + 65536));
}

// A binary reset mid-body, an HTML page closed cleanly mid-body: incomplete, never scanned, and
// continued whole; an endless body streams to disk until aborted or abandoned.
TEST_F(HttpSlotTest, BodyShortOfItsLengthIsIncompleteUnscannedAndResumedWhole) {
    std::string flaky;
    for (int i = 0; i < 5000; ++i) flaky += static_cast<char>((i * 7 + i / 251) % 256);
    for (const auto& [path, document, scanned] :
         {std::tuple{"/flaky", flaky, false}, std::tuple{"/cut.html", kDocument, true}}) {
        SCOPED_TRACE(path);
        const auto size = static_cast<std::int64_t>(document.size());
        ++task->Queued;
        TDnObj& cut = object(scripted(path));
        ASSERT_TRUE(fetch(cut));
        EXPECT_EQ(cut.State, ObjectState::Incomplete);
        EXPECT_EQ(cut.Size, size);
        EXPECT_LT(cut.Received, size);
        EXPECT_EQ(reported(EngineMessage::TransferAborted), 0);
        EXPECT_EQ(reported(EngineMessage::ScanLinks), -1);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), -1);

        ++task->Queued;  // queued again, as a resume does
        ASSERT_TRUE(fetch(cut));
        EXPECT_EQ(cut.Received, size);
        EXPECT_EQ(local(cut), document);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), size);
        EXPECT_EQ(reported(EngineMessage::ScanLinks) != -1, scanned);
    }

    TDnObj& aborted = object(scripted("/endless"));
    start(*slot, aborted);
    ASSERT_TRUE(runUntil([&] { return aborted.Received > 1000000; }));
    slot->abort();
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(aborted.Status, 801);
    EXPECT_EQ(aborted.State, ObjectState::Incomplete);
    EXPECT_EQ(std::filesystem::file_size(taskDir + aborted.LocalName),
              static_cast<std::uintmax_t>(aborted.Received));

    TDnObj& abandoned = object(scripted("/endless-too"));
    start(*slot, abandoned);
    ASSERT_TRUE(runUntil([&] { return abandoned.Received > 0; }));
    slot->abandon();
    loop.processPending();  // what was posted before
    const std::size_t before = reports.size();
    abandoned.State = ObjectState::Removed;
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(reports.size(), before);
    EXPECT_EQ(abandoned.State, ObjectState::Removed);
}

// A refused connect is queued again once; then 801 with its cause. TrySlashes asks again with
// the slash taken off; robots.txt stays in memory up to its limit; tinyproxy gets the login.
TEST_F(HttpSlotTest, RetriesSlashesRobotsAndProxies) {
    state.RetryOnFails = true;
    TDnObj& refused = object(HttpServers::at(freePort(), "/x"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.InList, GlobalList::Queue) << "queued again once";
    EXPECT_EQ(task->Queued, 1);
    EXPECT_EQ(reported(EngineMessage::NetworkError), 10061);
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 801);
    EXPECT_EQ(refused.Cause, 10061) << "what 801 alone does not tell";
    state.RetryOnFails = false;

    TaskSetFlag(*task, TaskFlag::TrySlashes);
    ASSERT_TRUE(fetch(object(nginx("/nothere/"))));
    ASSERT_NE(state.Queue.head(), nullptr);
    EXPECT_EQ(state.Queue.head()->URL, nginx("/nothere"));
    EXPECT_EQ(task->Total, 2) << "the new object stands in for the old one";
    EXPECT_EQ(task->Queued, 1);

    writeFile(servers.root + "/robots.txt", std::string(600 * 1024, 'r'));
    TDnObj& robots = object(nginx("/robots.txt"));
    robots.State = ObjectState::RobotsRequest;
    ASSERT_TRUE(fetch(robots));
    ASSERT_EQ(robotsBodies.size(), 1u);
    ASSERT_TRUE(robotsBodies[0].has_value());
    EXPECT_EQ(robotsBodies[0]->size(), THLHTTPClient::kRobotsBodyLimit);
    EXPECT_FALSE(std::filesystem::exists(taskDir + "robots.txt"));
    std::filesystem::remove(servers.root + "/robots.txt");

    ASSERT_TRUE(servers.startProxy());
    const std::string port = std::to_string(servers.proxyPort);
    slot->setProxy({"127.0.0.1", port, HttpServers::ProxyPassword, HttpServers::ProxyUser});
    TDnObj& page = object(nginx("/index.html?proxied"));
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(local(page), servers.document);
    slot->setProxy({"127.0.0.1", port, "wrong", HttpServers::ProxyUser});
    TDnObj& wrong = object(nginx("/index.html?wrong"));
    ASSERT_TRUE(fetch(wrong));
    EXPECT_EQ(wrong.Status, 401) << "tinyproxy's answer to a wrong proxy login";
}

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
        // The file grew after its count was last written.
        TDnObj& partial = holding(object(port, "/pub/file.bin"), "partial-" + std::to_string(port),
                                  whole.substr(0, 123457), 100000);
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
        TDnObj& again =
            holding(object(servers.vsftpdPort, row.path), row.name, row.bytes, row.received);
        ASSERT_TRUE(fetch(again));
        EXPECT_FALSE(sentAny("REST")) << row.name;
        EXPECT_EQ(local(again), whole) << row.name;
    }

    constexpr std::int64_t have = kBeyond2GiB - 1500;
    TDnObj& huge = holding(object(servers.pyftpdlibPort, "/pub/huge.bin"), "huge.bin", "", have);
    std::filesystem::resize_file(taskDir + huge.LocalName, have);
    state.BytesWindow = 0;
    ASSERT_TRUE(fetch(huge));
    EXPECT_TRUE(wasSent("REST " + std::to_string(have)));
    EXPECT_EQ(huge.Received, kBeyond2GiB);
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
