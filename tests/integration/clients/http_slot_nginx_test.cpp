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
    std::string root() const { return servers.work.path() + "/www/"; }
    std::string accessLog() const { return readFile(servers.work.path() + "/nginx/access.log"); }
};

TEST_F(HttpSlotNginxTest, DocumentIsSavedAndEveryStepReported) {
    TDnObj& page = object(at(servers.nginxPort, "/index.html"));
    page.Referrer = "http://example.org/links.html";
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(local(page), servers.document);
    EXPECT_EQ(page.LocalName, "index.html");
    EXPECT_EQ(page.State, ObjectState::Retrieved) << "HTML handed to the link scanner";
    EXPECT_EQ(page.Status, 200);
    EXPECT_EQ(page.ContentType, "text/html");
    EXPECT_EQ(page.Received, 5000);
    EXPECT_EQ(page.Size, 5000);
    EXPECT_EQ(state.BytesWindow, 5000);
    EXPECT_EQ(task->Queued, 1) << "the scanner settles the count";
    ASSERT_GE(reports.offsets.size(), 5u);
    EXPECT_EQ(reports.offsets[0], 130u);
    EXPECT_EQ(reports.offsets[1], 131u);
    EXPECT_EQ(reports.offsets[2], 142u);
    EXPECT_EQ(reports.lParamOf(EngineMessage::ObjectDone), 5000);
    EXPECT_EQ(reports.offsets.back(), 138u);

    // The host's root is the same document; its name is taken, so it gets the next free one.
    TDnObj& rootPage = object(at(servers.nginxPort, "/"));
    ASSERT_TRUE(fetch(rootPage));
    EXPECT_EQ(rootPage.LocalName, "index-1.html");
    EXPECT_EQ(local(rootPage), servers.document);
}

TEST_F(HttpSlotNginxTest, NotFoundPageIsKeptUnderAnHtmlName) {
    TDnObj& missing = object(at(servers.nginxPort, "/missing.bin"));
    ASSERT_TRUE(fetch(missing));
    EXPECT_EQ(missing.State, ObjectState::ProtocolError);
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.LocalName, "missing.bin.html");
    EXPECT_NE(local(missing).find("404"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(taskDir + "missing.bin"));
    EXPECT_EQ(reports.lParamOf(EngineMessage::HttpError), 404);
    EXPECT_EQ(reports.offsets.back(), 134u) << "the task has nothing queued";
}

TEST_F(HttpSlotNginxTest, NotFoundDirectoryIsTriedWithoutItsSlash) {
    TaskSetFlag(*task, TaskFlag::TrySlashes);
    TDnObj& directory = object(at(servers.nginxPort, "/nothere/"));
    directory.Referrer = "http://example.org/";
    ASSERT_TRUE(fetch(directory));
    EXPECT_EQ(directory.State, ObjectState::ProtocolError);
    ASSERT_NE(state.Queue.head(), nullptr);
    EXPECT_EQ(state.Queue.head()->URL, at(servers.nginxPort, "/nothere"));
    EXPECT_EQ(state.Queue.head()->Referrer, "http://example.org/");
    EXPECT_EQ(task->Total, 1);
    EXPECT_EQ(task->Queued, 1);
    EXPECT_FALSE(reports.has(EngineMessage::TaskEnded));
}

TEST_F(HttpSlotNginxTest, PartialFileResumesWithARangeAndEndsByteIdentical) {
    std::string document;
    for (int i = 0; i < 5000; ++i) {
        document += static_cast<char>((i * 31 + i / 7) % 256);
    }
    writeFile(root() + "doc.bin", document);
    writeFile(taskDir + "doc.bin", document.substr(0, 1000));
    TDnObj& doc = object(at(servers.nginxPort, "/doc.bin"));
    doc.LocalName = "doc.bin";
    doc.Received = 1000;
    doc.Size = 5000;
    doc.State = ObjectState::Incomplete;
    ASSERT_TRUE(fetch(doc));
    EXPECT_NE(accessLog().find("GET /doc.bin HTTP/1.0 \"bytes=1000-5000\" 206 4000"),
              std::string::npos)
        << accessLog();
    EXPECT_EQ(checksum(local(doc)), checksum(document));
    EXPECT_EQ(doc.Received, 5000);
    EXPECT_EQ(doc.State, ObjectState::Done);
    EXPECT_EQ(state.BytesWindow, 4000);
}

TEST_F(HttpSlotNginxTest, RangeBeyondTheDocumentLeavesThePartialFileAsItWas) {
    const std::string partial(6000, 'p');
    writeFile(taskDir + "index.html", partial);
    TDnObj& page = object(at(servers.nginxPort, "/index.html"));
    page.LocalName = "index.html";
    page.Received = 6000;
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.Status, 416);
    EXPECT_EQ(page.State, ObjectState::ProtocolError);
    EXPECT_EQ(page.LocalName, "index.html");
    EXPECT_EQ(local(page), partial);
}

TEST_F(HttpSlotNginxTest, ProxyGetsTheAbsoluteUrlAndTheCredentials) {
    ASSERT_TRUE(servers.startProxy());
    slot->setProxy({"127.0.0.1", std::to_string(servers.proxyPort), HttpServers::ProxyPassword,
                    HttpServers::ProxyUser});
    TDnObj& page = object(at(servers.nginxPort, "/index.html"));
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.Status, 200);
    EXPECT_EQ(local(page), servers.document);

    slot->setProxy({"127.0.0.1", std::to_string(servers.proxyPort), "wrong",
                    HttpServers::ProxyUser});
    TDnObj& refused = object(at(servers.nginxPort, "/"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 401) << "tinyproxy's answer to a wrong proxy login";
    EXPECT_EQ(refused.State, ObjectState::ProtocolError);
}

}  // namespace
}  // namespace quillharbor::test
