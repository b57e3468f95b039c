// The HTTP slot against nginx (static files, byte ranges, TLS), through tinyproxy, and against the
// scripted server for what nginx will not do.

#include <fcntl.h>
#include <unistd.h>

#include "clients/hl_http_client.h"
#include "clients/slot_fixture.h"
#include "net/tls_failure.h"
#include "net/tls_servers.h"

namespace quillharbor::test {
namespace {

class HttpSlotTest : public SlotTest<THLHTTPClient> {
protected:
    void SetUp() override {
        SlotTest::SetUp();
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
    static std::string at(std::uint16_t port, const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    // The servers start when first named.
    std::string nginx(const std::string& path) {
        EXPECT_TRUE(servers.startNginx());
        return at(servers.nginxPort, path);
    }
    std::string scripted(const std::string& path) {
        EXPECT_TRUE(servers.startScripted());
        return at(servers.scriptedPort, path);
    }
    static TlsServers& tls() { return TlsServers::instance(); }
    TDnObj& fetched(const std::string& path) {
        TDnObj& target = object(scripted(path));
        EXPECT_TRUE(fetch(target)) << path;
        return target;
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
};

const std::string kDocument = [] {
    std::string body = "<html><body>";
    for (int i = 0; i < 100; ++i) {
        body += "0123456789";
    }
    return body + "</body></html>\n";
}();

TEST_F(HttpSlotTest, DocumentIsSavedAndEveryStepReported) {
    TDnObj& page = object(nginx("/index.html"));
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(local(page), servers.document);
    EXPECT_EQ(page.LocalName, "index.html");
    EXPECT_EQ(page.State, ObjectState::Retrieved) << "HTML goes to the link scanner";
    EXPECT_EQ(page.ContentType, "text/html");
    EXPECT_EQ(page.Size, 5000);
    EXPECT_EQ(state.BytesWindow, 5000);
    EXPECT_EQ(task->Queued, 1) << "the scanner settles the count";
    ASSERT_GE(reports.size(), 5u);
    const std::vector<unsigned> got = offsets();
    EXPECT_EQ(std::vector<unsigned>(got.begin(), got.begin() + 3),
              (std::vector<unsigned>{130, 131, 142}));
    EXPECT_EQ(reported(EngineMessage::ObjectDone), 5000);
    EXPECT_EQ(reports.back().offset, 138u);

    TDnObj& rootPage = object(nginx("/"));  // the same document; its name is taken
    ASSERT_TRUE(fetch(rootPage));
    EXPECT_EQ(rootPage.LocalName, "index-1.html");

    // A failed object fetched again while another holds its old name gets a name of its own.
    writeFile(taskDir + "index.html", "the good page");
    TDnObj& failed = object(nginx("/index.html?again"));
    failed.LocalName = "index.html";
    failed.Status = 500;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(local(page), "the good page");
    EXPECT_EQ(failed.LocalName, "index-2.html");
    EXPECT_EQ(local(failed), servers.document);
}

TEST_F(HttpSlotTest, NotFoundPageIsKeptUnderAnHtmlNameAndTrySlashesAsksAgain) {
    TDnObj& missing = object(nginx("/missing.bin"));
    ASSERT_TRUE(fetch(missing));
    EXPECT_EQ(missing.State, ObjectState::ProtocolError);
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.LocalName, "missing.bin.html");
    EXPECT_NE(local(missing).find("404"), std::string::npos);
    EXPECT_EQ(reported(EngineMessage::HttpError), 404);
    EXPECT_EQ(reports.back().offset, 134u) << "the task has nothing queued";

    TaskSetFlag(*task, TaskFlag::TrySlashes);
    TDnObj& directory = object(nginx("/nothere/"));
    ASSERT_TRUE(fetch(directory));
    ASSERT_NE(state.Queue.head(), nullptr);
    EXPECT_EQ(state.Queue.head()->URL, nginx("/nothere"));
    EXPECT_EQ(task->Total, 2) << "the new object stands in for the old one";
    EXPECT_EQ(task->Queued, 1);
}

// Over plain HTTP and over TLS; an error answer to a range never lands in the partial file.
TEST_F(HttpSlotTest, PartialFileResumesWithARangeAndEndsByteIdentical) {
    std::string document;
    for (int i = 0; i < 5000; ++i) {
        document += static_cast<char>(i * 31 + i / 7);
    }
    ASSERT_TRUE(servers.startNginx());
    writeFile(servers.work.path() + "/www/doc.bin", document);
    state.Https = true;
    state.VerifyCertificates = true;
    const std::uint16_t tlsPort = tls().start("good");
    ASSERT_NE(tlsPort, 0);
    for (const auto& [url, log] :
         {std::pair{nginx("/doc.bin"), "nginx"},
          std::pair{TlsServers::https(tlsPort, "/doc.bin"), "nginx-good"}}) {
        SCOPED_TRACE(url);
        state.BytesWindow = 0;
        TDnObj& doc = partial(url, std::string(log) + ".bin", document.substr(0, 1000));
        doc.Size = 5000;
        ASSERT_TRUE(fetch(doc));
        EXPECT_NE(contentsOf(servers.work.path() + "/" + log + "/access.log")
                      .find("GET /doc.bin HTTP/1.0 \"bytes=1000-5000\" 206 4000"),
                  std::string::npos);
        EXPECT_EQ(std::hash<std::string>()(local(doc)), std::hash<std::string>()(document));
        EXPECT_EQ(doc.State, ObjectState::Done);
        EXPECT_EQ(state.BytesWindow, 4000);
    }

    const std::string bytes(6000, 'p');
    TDnObj& page = partial(nginx("/index.html"), "index.html", bytes);
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.Status, 416);
    EXPECT_EQ(page.State, ObjectState::ProtocolError);
    EXPECT_EQ(local(page), bytes);

    // A whole document answering a range starts the file again; so does one that shrank.
    TDnObj& ignored = partial(scripted("/range-ignored"), "range-ignored", std::string(300, 'x'));
    ASSERT_TRUE(fetch(ignored));
    EXPECT_EQ(ignored.LocalName, "range-ignored.html");
    EXPECT_EQ(local(ignored), kDocument);
    EXPECT_EQ(ignored.Size, static_cast<std::int64_t>(kDocument.size()));
    TDnObj& shrunk = object(scripted("/target.html"));
    shrunk.Size = 99999;  // what an earlier answer announced
    ASSERT_TRUE(fetch(shrunk));
    EXPECT_EQ(shrunk.State, ObjectState::Retrieved) << "whole, so handed to the scanner";
    EXPECT_EQ(shrunk.Size, static_cast<std::int64_t>(kDocument.size()));
}

TEST_F(HttpSlotTest, ResumeBeyondTwoGibibytesCountsIn64Bits) {
    constexpr std::int64_t kOffset = 2500000000;
    const int fd = ::open((taskDir + "big-resume").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, kOffset), 0);  // sparse: nothing of it is written
    ::close(fd);
    TDnObj& big = object(scripted("/big-resume"));
    big.LocalName = "big-resume";
    big.Received = kOffset;
    ASSERT_TRUE(fetch(big));
    EXPECT_EQ(big.Status, 206) << "the server answers only a range from " << kOffset;
    EXPECT_EQ(big.Received, kOffset + 65536);
    EXPECT_EQ(big.Size, kOffset + 3000000000);
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_EQ(std::filesystem::file_size(taskDir + "big-resume"),
              static_cast<std::uintmax_t>(kOffset + 65536));
}

TEST_F(HttpSlotTest, RobotsBodyStaysInMemoryUpToItsLimit) {
    ASSERT_TRUE(servers.startNginx());
    writeFile(servers.work.path() + "/www/robots.txt", std::string(600 * 1024, 'r'));
    TDnObj& robots = object(nginx("/robots.txt"));
    robots.State = ObjectState::RobotsRequest;
    ASSERT_TRUE(fetch(robots));
    ASSERT_EQ(robotsBodies.size(), 1u);
    ASSERT_TRUE(robotsBodies[0].has_value());
    EXPECT_EQ(robotsBodies[0]->size(), THLHTTPClient::kRobotsBodyLimit);
    EXPECT_TRUE(std::filesystem::is_empty(taskDir));
    EXPECT_EQ(task->Queued, 1) << "the robots handling settles the count";
}

// The slot's last word on a request comes once it is free again, whatever the outcome, so a fast
// dispatch gives it its next object at once instead of at the next tick.
TEST_F(HttpSlotTest, TheLastReportFindsTheSlotFree) {
    ASSERT_TRUE(servers.startNginx());
    const struct {
        std::string url;
        EngineMessage outcome;
    } cases[] = {
        {nginx("/index.html"), EngineMessage::ObjectDone},
        {nginx("/missing.html"), EngineMessage::HttpError},
        {"http://127.0.0.1:" + std::to_string(freePort()) + "/refused", EngineMessage::HttpError},
    };
    for (const auto& one : cases) {
        reports.clear();
        ASSERT_TRUE(fetch(object(one.url))) << one.url;
        EXPECT_NE(reported(one.outcome), -1) << one.url;
        EXPECT_TRUE(admissionLast && freeAtAdmission) << one.url;
    }
}

TEST_F(HttpSlotTest, ProxyGetsTheAbsoluteUrlAndTheCredentials) {
    ASSERT_TRUE(servers.startProxy());
    const std::string port = std::to_string(servers.proxyPort);
    slot->setProxy({"127.0.0.1", port, HttpServers::ProxyPassword, HttpServers::ProxyUser});
    TDnObj& page = object(nginx("/index.html"));
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(local(page), servers.document);

    slot->setProxy({"127.0.0.1", port, "wrong", HttpServers::ProxyUser});
    TDnObj& refused = object(nginx("/"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 401) << "tinyproxy's answer to a wrong proxy login";
}

TEST_F(HttpSlotTest, NamesComeFromRedirectTargetsAndHtmlTypes) {
    TDnObj& cross = fetched("/cross");
    EXPECT_EQ(cross.Location,
              "http://localhost:" + std::to_string(servers.scriptedPort) + "/target.html");
    EXPECT_EQ(cross.LocalName, "target.html");
    EXPECT_EQ(local(cross), kDocument);
    const std::pair<const char*, const char*> names[] = {{"/relative", "target-1.html"},
                                                         {"/html/b.cgi?x=1", "b.cgi"},
                                                         {"/html/run?x", "run.html"},
                                                         {"/html/..", "index.html"}};
    for (const auto& [path, name] : names) {
        EXPECT_EQ(fetched(path).LocalName, name) << path;
    }
    TDnObj& bare = fetched("/noheader");
    EXPECT_EQ(bare.LocalName, "noheader.html");
    EXPECT_EQ(bare.Status, 0);
    EXPECT_EQ(local(bare), "<HTML>\r\n<body>no header</body>\r\n</HTML>\r\n");

    TDnObj& longHeader = fetched("/longheader");
    EXPECT_EQ(longHeader.Status, 800);
    EXPECT_EQ(longHeader.State, ObjectState::ProtocolError);

    // An http page redirecting to https is followed only with the setting.
    std::uint16_t httpPort = 0;
    const std::uint16_t tlsPort = tls().start("good", &httpPort);
    state.Https = true;
    TDnObj& secure = object(at(httpPort, "/secure/index.html"));
    ASSERT_TRUE(fetch(secure));
    EXPECT_EQ(secure.Location, TlsServers::https(tlsPort, "/index.html"));
    EXPECT_EQ(local(secure), servers.document);
    state.Https = false;
    TDnObj& refused = object(at(httpPort, "/secure/index.html?again"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.State, ObjectState::Failed) << "the redirect is where it ends";
    EXPECT_TRUE(refused.Location.empty());
}

// A binary reset mid-body, an HTML page closed cleanly mid-body.
TEST_F(HttpSlotTest, BodyShortOfItsLengthIsIncompleteUnscannedAndResumedWhole) {
    std::string flaky;
    for (int i = 0; i < 5000; ++i) {
        flaky += static_cast<char>((i * 7 + i / 251) % 256);
    }
    for (const auto& [path, document, scanned] :
         {std::tuple{"/flaky", flaky, false}, std::tuple{"/cut.html", kDocument, true}}) {
        SCOPED_TRACE(path);
        const auto size = static_cast<std::int64_t>(document.size());
        reports.clear();
        ++task->Queued;
        TDnObj& cut = fetched(path);
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
}

// Refused, expired, for another host, a redirect loop: each ends with its own status, and a
// certificate refused writes nothing unless the task skips the check.
TEST_F(HttpSlotTest, FailuresEndWithTheirOwnStatus) {
    state.RetryOnFails = true;
    TDnObj& refused = object(at(freePort(), "/x"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.InList, GlobalList::Queue) << "queued again once";
    EXPECT_EQ(task->Queued, 1);
    EXPECT_EQ(reported(EngineMessage::NetworkError), 10061);
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 801);
    EXPECT_EQ(refused.Cause, 10061) << "what 801 alone does not tell";
    EXPECT_EQ(refused.State, ObjectState::ProtocolError);
    EXPECT_EQ(reported(EngineMessage::HttpError), 10061);
    EXPECT_EQ(reports.back().offset, 134u);
    state.RetryOnFails = false;

    TDnObj& loop = fetched("/loop");
    EXPECT_EQ(loop.State, ObjectState::ProtocolError);
    EXPECT_EQ(loop.Status, kHttpTooManyRedirects);

    state.Https = true;
    state.VerifyCertificates = true;
    for (const auto& [kind, status] : {std::pair{"expired", kTlsCertificateExpired},
                                       std::pair{"wronghost", kTlsWrongHostName}}) {
        SCOPED_TRACE(kind);
        const std::uint16_t port = tls().start(kind);
        ASSERT_NE(port, 0);
        reports.clear();
        TDnObj& page = object(TlsServers::https(port, "/index.html?" + std::string(kind)));
        ASSERT_TRUE(fetch(page));
        EXPECT_EQ(page.State, ObjectState::ProtocolError);
        EXPECT_EQ(page.Status, status);
        EXPECT_EQ(reported(EngineMessage::HttpError), status);
        EXPECT_TRUE(page.LocalName.empty());

        TaskSetFlag(*task, TaskFlag::SkipCertificateCheck);
        TDnObj& again = object(TlsServers::https(port, "/index.html?" + std::string(kind) + "1"));
        ASSERT_TRUE(fetch(again));
        EXPECT_EQ(local(again), servers.document);
        TaskClearFlag(*task, TaskFlag::SkipCertificateCheck);
    }
}

TEST_F(HttpSlotTest, EndlessBodyStreamsToDiskUntilAbortedOrAbandoned) {
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

}  // namespace
}  // namespace quillharbor::test
