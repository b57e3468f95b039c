// The HTTP slot against nginx (static files, byte ranges) and through tinyproxy.

#include "clients/http_slot_fixture.h"

namespace quillharbor::test {
namespace {

class HttpSlotNginxTest : public HttpSlotTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers.startNginx());
        HttpSlotTest::SetUp();
    }
    std::string nginx(const std::string& path) const { return at(servers.nginxPort, path); }
    std::string root() const { return servers.work.path() + "/www/"; }
};

TEST_F(HttpSlotNginxTest, DocumentIsSavedAndEveryStepReported) {
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
    EXPECT_EQ(std::vector<unsigned>(reports.begin(), reports.begin() + 3),
              (std::vector<unsigned>{130, 131, 142}));
    EXPECT_EQ(reported(EngineMessage::ObjectDone), 5000);
    EXPECT_EQ(reports.back(), 138u);

    TDnObj& rootPage = object(nginx("/"));  // the same document; its name is taken
    ASSERT_TRUE(fetch(rootPage));
    EXPECT_EQ(rootPage.LocalName, "index-1.html");
}

TEST_F(HttpSlotNginxTest, NotFoundPageIsKeptUnderAnHtmlNameAndTrySlashesAsksAgain) {
    TDnObj& missing = object(nginx("/missing.bin"));
    ASSERT_TRUE(fetch(missing));
    EXPECT_EQ(missing.State, ObjectState::ProtocolError);
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.LocalName, "missing.bin.html");
    EXPECT_NE(local(missing).find("404"), std::string::npos);
    EXPECT_EQ(reported(EngineMessage::HttpError), 404);
    EXPECT_EQ(reports.back(), 134u) << "the task has nothing queued";

    TaskSetFlag(*task, TaskFlag::TrySlashes);
    TDnObj& directory = object(nginx("/nothere/"));
    ASSERT_TRUE(fetch(directory));
    ASSERT_NE(state.Queue.head(), nullptr);
    EXPECT_EQ(state.Queue.head()->URL, nginx("/nothere"));
    EXPECT_EQ(task->Total, 2) << "the new object stands in for the old one";
    EXPECT_EQ(task->Queued, 1);
}

TEST_F(HttpSlotNginxTest, PartialFileResumesWithARangeAndEndsByteIdentical) {
    std::string document;
    for (int i = 0; i < 5000; ++i) {
        document += static_cast<char>(i * 31 + i / 7);
    }
    writeFile(root() + "doc.bin", document);
    writeFile(taskDir + "doc.bin", document.substr(0, 1000));
    TDnObj& doc = object(nginx("/doc.bin"));
    doc.LocalName = "doc.bin";
    doc.Received = 1000;
    doc.Size = 5000;
    ASSERT_TRUE(fetch(doc));
    const std::string log = readFile(servers.work.path() + "/nginx/access.log");
    EXPECT_NE(log.find("GET /doc.bin HTTP/1.0 \"bytes=1000-5000\" 206 4000"), std::string::npos);
    EXPECT_EQ(std::hash<std::string>()(local(doc)), std::hash<std::string>()(document));
    EXPECT_EQ(doc.State, ObjectState::Done);
    EXPECT_EQ(state.BytesWindow, 4000);

    // An error answer to a range never lands in the partial file.
    const std::string partial(6000, 'p');
    writeFile(taskDir + "index.html", partial);
    TDnObj& page = object(nginx("/index.html"));
    page.LocalName = "index.html";
    page.Received = 6000;
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.Status, 416);
    EXPECT_EQ(page.State, ObjectState::ProtocolError);
    EXPECT_EQ(local(page), partial);
}

// A failed object fetched again while another object holds the name it had gets a name of its
// own instead of writing over the other's file.
TEST_F(HttpSlotNginxTest, ARefetchedObjectNeverWritesOverAnotherObjectsFile) {
    TDnObj& good = object(nginx("/index.html"));
    good.LocalName = "index.html";
    writeFile(taskDir + "index.html", "the good page");
    TDnObj& failed = object(nginx("/"));
    failed.LocalName = "index.html";
    failed.Status = 500;
    ASSERT_TRUE(fetch(failed));
    EXPECT_EQ(local(good), "the good page");
    EXPECT_EQ(failed.LocalName, "index-1.html");
    EXPECT_EQ(local(failed), servers.document);
}

TEST_F(HttpSlotNginxTest, RobotsBodyStaysInMemoryUpToItsLimit) {
    writeFile(root() + "robots.txt", std::string(600 * 1024, 'r'));
    TDnObj& robots = object(nginx("/robots.txt"));
    robots.State = ObjectState::RobotsRequest;
    ASSERT_TRUE(fetch(robots));
    ASSERT_EQ(robotsBodies.size(), 1u);
    ASSERT_TRUE(robotsBodies[0].has_value());
    EXPECT_EQ(robotsBodies[0]->size(), THLHTTPClient::kRobotsBodyLimit);
    EXPECT_TRUE(std::filesystem::is_empty(taskDir));
    EXPECT_EQ(task->Queued, 1) << "the robots handling settles the count";
}

TEST_F(HttpSlotNginxTest, ProxyGetsTheAbsoluteUrlAndTheCredentials) {
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

}  // namespace
}  // namespace quillharbor::test
