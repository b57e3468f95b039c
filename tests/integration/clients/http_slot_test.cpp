// The HTTP slot against nginx (static files, byte ranges, TLS), through tinyproxy, and against the
// scripted server for what nginx will not do.

#include "clients/hl_http_client.h"
#include "clients/slot_fixture.h"
#include "net/tls_failure.h"

namespace quillharbor::test {
namespace {

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
    // As the scheduler starts an object: out of the queue, into the seen list.
    void start(THLHTTPClient& on, TDnObj& target) override {
        if (target.InList == GlobalList::Queue) {
            state.Queue.QueueRemove(target);
        }
        if (target.InList == GlobalList::None) {
            state.SeenList.SeenInsert(target);
        }
        on.Start(target);
    }
    std::string nginx(const std::string& path) const {
        return HttpServers::at(servers.nginxPort, path);
    }
    std::string scripted(const std::string& path) const {
        return HttpServers::at(servers.scriptedPort, path);
    }
    // An object whose local file holds its first bytes already.
    TDnObj& partial(const std::string& url, const std::string& name, const std::string& bytes) {
        writeFile(taskDir + name, bytes);
        TDnObj& target = object(url);
        target.LocalName = name;
        target.Received = static_cast<std::int64_t>(bytes.size());
        return target;
    }

    HttpServers& servers = HttpServers::instance();
    TlsServers& tls = TlsServers::instance();
};

// One object per row on one slot, in turn; an empty body or name is left unchecked. A row with
// bytes `have` starts from a partial file of them: continued with a range (over TLS too), never
// written into by an error answer, started again by a whole answer. The slot's last word on each
// request comes once it is free again, so a fast dispatch gives it its next object at once.
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
        {HttpServers::at(freePort(), "/refused"), false, "", ObjectState::ProtocolError, 801, "",
         EngineMessage::HttpError, 10061},
        {scripted("/cross"), false, "target.html", ObjectState::Retrieved, 200, kDocument,
         EngineMessage::ObjectDone, -2},
        {scripted("/relative"), false, "target-1.html", ObjectState::Retrieved, 200, kDocument,
         EngineMessage::ObjectDone, -2},
        {scripted("/html/b.cgi?x=1"), false, "b.cgi", ObjectState::Retrieved, 200, "",
         EngineMessage::ObjectDone, -2},
        {scripted("/html/run?x"), false, "run.html", ObjectState::Retrieved, 200, "",
         EngineMessage::ObjectDone, -2},
        {scripted("/html/.."), false, "index-2.html", ObjectState::Retrieved, 200, "",
         EngineMessage::ObjectDone, -2},
        {scripted("/noheader"), false, "noheader.html", ObjectState::Retrieved, 0,
         "<HTML>\r\n<body>no header</body>\r\n</HTML>\r\n", EngineMessage::ObjectDone, -2},
        {scripted("/longheader"), false, "", ObjectState::ProtocolError, 800, "",
         EngineMessage::HttpError, 800},
        {scripted("/loop"), false, "", ObjectState::ProtocolError, kHttpTooManyRedirects, "",
         EngineMessage::HttpError, kHttpTooManyRedirects},
        // An http page redirecting to https is followed only with the setting.
        {HttpServers::at(httpPort, "/secure/index.html"), true, "index-3.html",
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
        {scripted("/target.html"), false, "target-2.html", ObjectState::Retrieved, 200, kDocument,
         EngineMessage::ObjectDone, -2, "", 99999},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        state.Https = row.https;
        state.BytesWindow = 0;
        TDnObj& target = row.have.empty() ? object(row.url) : partial(row.url, row.name, row.have);
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
    }
    EXPECT_EQ(state.Queue.head(), nullptr) << "nothing was queued again";
    for (const char* log : {"nginx", "nginx-good"}) {
        EXPECT_NE(servers.accessLog(log).find("GET /doc.bin HTTP/1.0 \"bytes=1000-5000\" 206 4000"),
                  std::string::npos);
    }

    // A failed object fetched again while another holds its old name gets a name of its own;
    // the certificate check is skipped for a task that asks so.
    writeFile(taskDir + "index.html", "the good page");
    TDnObj& failed = object(nginx("/index.html?again"));
    failed.LocalName = "index.html";
    failed.Status = 500;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(contentsOf(taskDir + "index.html"), "the good page");
    EXPECT_EQ(failed.LocalName, "index-4.html");
    EXPECT_EQ(local(failed), servers.document);
    TaskSetFlag(*task, TaskFlag::SkipCertificateCheck);
    TDnObj& insecure = object(TlsServers::https(expired, "/index.html?1"));
    ASSERT_TRUE(fetch(insecure));
    EXPECT_EQ(local(insecure), servers.document);

    // The server answers only a range from 2500000000 on, of a sparse file.
    constexpr std::int64_t kOffset = 2500000000;
    TDnObj& big = partial(scripted("/big-resume"), "big-resume", "");
    std::filesystem::resize_file(taskDir + "big-resume", kOffset);
    big.Received = kOffset;
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

}  // namespace
}  // namespace quillharbor::test
