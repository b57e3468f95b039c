#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "clients/hl_http_client.h"
#include "clients/robots_body.h"
#include "model/message_identity.h"
#include "platform/loop_fixture.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

// The network as the test plays it: look-up and connect succeed at once, the request is
// recorded, and the server's bytes and close come when the test says.
class PlayedTransport : public HttpTransport {
public:
    void setEvents(Events& events) override { m_events = &events; }
    void lookup(const std::string&) override { m_events->onLookupDone(0, "127.0.0.1"); }
    void cancelLookup() override {}
    void connect(const std::string&, const std::string&) override {
        m_open = true;
        m_events->onConnected(0);
    }
    void send(const std::string& bytes) override { request += bytes; }
    std::size_t receive(char* buffer, std::size_t size) override {
        const std::size_t count = m_incoming.copy(buffer, size);
        m_incoming.erase(0, count);
        return count;
    }
    void close() override {
        if (m_open) {
            m_open = false;
            m_events->onClosed(0);
        }
    }
    bool open() const override { return m_open; }
    TWSocket* socket() override { return nullptr; }

    void answer(const std::string& bytes) {
        m_incoming += bytes;
        while (!m_incoming.empty() && m_open) {
            m_events->onDataAvailable();
        }
    }

    std::string request;

private:
    Events* m_events = nullptr;
    std::string m_incoming;
    bool m_open = false;
};

class Reports : public MessageTarget {
public:
    void onMessage(const Message& message) override {
        offsets.push_back(message.number - WM_USER);
        lParams.push_back(message.lParam);
        if (message.number == messageNumber(EngineMessage::RobotsAnswer)) {
            robotsBodies.push_back(adoptRobotsBody(message.wParam));
        }
    }
    std::vector<unsigned> offsets;
    std::vector<std::intptr_t> lParams;
    std::vector<std::unique_ptr<std::string>> robotsBodies;
};

class HLHTTPClientTest : public LoopTest {
protected:
    HLHTTPClientTest() {
        task = &state.TaskList.TaskInsert(NewTask("t", "http://h/", dir.path(), 0, "", 0, 0, "", ""));
        reportTo = loop.add(reports);
        auto transport = std::make_unique<PlayedTransport>();
        net = transport.get();
        slot = std::make_unique<THLHTTPClient>(
            loop, 0, SlotContext{"Mozilla/3.0(compatible)", reportTo, &state}, std::move(transport));
    }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        LoopTest::TearDown();
    }

    TDnObj& start(const std::string& url, ObjectState initial = ObjectState::Queued) {
        TDnObj& object = *NewDnObj(*task, url, 1);
        object.State = initial;
        state.SeenList.SeenInsert(object);
        slot->Start(object);
        return object;
    }
    void settle() {
        for (int i = 0; i < 20 && loop.processPending(); ++i) {
        }
    }

    test::TempDirectory dir;
    EngineState state;
    TTask* task = nullptr;
    Reports reports;
    Handle reportTo = 0;
    PlayedTransport* net = nullptr;
    std::unique_ptr<THLHTTPClient> slot;
};

TEST_F(HLHTTPClientTest, ResumeAsksForTheRestAndAnErrorPageLeavesThePartialFileAlone) {
    std::ofstream(dir / "doc.bin") << std::string(1000, 'p');
    TDnObj& object = *NewDnObj(*task, "http://h/doc.bin", 1);
    object.LocalName = "doc.bin";
    object.Received = 700;  // the file on disk decides
    object.Size = 5000;
    state.SeenList.SeenInsert(object);
    slot->Start(object);
    EXPECT_EQ(net->request,
              "GET /doc.bin HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/3.0(compatible)\r\n"
              "Host: h\r\n"
              "Range: bytes=1000-5000\r\n\r\n");
    EXPECT_FALSE(slot->ready());

    net->answer("HTTP/1.0 416 Range Not Satisfiable\r\nContent-Length: 9\r\n\r\n<p>no</p>");
    settle();
    EXPECT_TRUE(slot->ready());
    EXPECT_EQ(slot->Obj(), nullptr);
    EXPECT_EQ(std::filesystem::file_size(dir / "doc.bin"), 1000u);
    EXPECT_EQ(object.LocalName, "doc.bin");
    EXPECT_EQ(object.State, ObjectState::ProtocolError);
    EXPECT_EQ(object.Status, 416);
    EXPECT_EQ(object.Received, 1000);
    EXPECT_EQ(object.Size, 5000);
    EXPECT_EQ(reports.offsets, (std::vector<unsigned>{130, 137, 134}));
    EXPECT_EQ(reports.lParams[1], 416);
}

TEST_F(HLHTTPClientTest, RobotsBodyStaysInMemoryUpToItsLimit) {
    TDnObj& object = start("http://h/robots.txt", ObjectState::RobotsRequest);
    net->answer("HTTP/1.0 200 OK\r\n\r\n");
    const std::string block(64 * 1024, 'r');
    for (int i = 0; i < 10; ++i) {
        net->answer(block);
    }
    net->close();
    settle();
    EXPECT_EQ(object.State, ObjectState::RobotsRequest);
    EXPECT_EQ(reports.offsets, (std::vector<unsigned>{130, 140}));
    EXPECT_EQ(reports.lParams[1], static_cast<std::intptr_t>(identityOf(object)));
    ASSERT_NE(reports.robotsBodies[0], nullptr);
    EXPECT_EQ(reports.robotsBodies[0]->size(), THLHTTPClient::kRobotsBodyLimit);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_EQ(task->Queued, 1) << "the robots handling settles the count";
}

TEST_F(HLHTTPClientTest, FailedRobotsRequestHandsOverNoBody) {
    start("http://h/robots.txt", ObjectState::RobotsRequest);
    net->answer("HTTP/1.0 404 Not Found\r\n\r\nnot here");
    settle();
    EXPECT_EQ(reports.offsets, (std::vector<unsigned>{130, 140}));
    EXPECT_EQ(reports.robotsBodies[0], nullptr);
    EXPECT_TRUE(slot->ready());
}

TEST_F(HLHTTPClientTest, AbandonedObjectIsNeverTouchedAgain) {
    TDnObj& object = start("http://h/a.bin");
    net->answer("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    settle();
    reports.offsets.clear();
    slot->abandon();
    EXPECT_EQ(slot->Obj(), nullptr);
    object.State = ObjectState::Removed;
    settle();
    EXPECT_TRUE(reports.offsets.empty());
    EXPECT_EQ(object.State, ObjectState::Removed);
    EXPECT_TRUE(slot->ready());
}

TEST_F(HLHTTPClientTest, DestroyingABusySlotSettlesItsObject) {
    TDnObj& object = start("http://h/a.bin");
    net->answer("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    slot.reset();
    settle();
    EXPECT_EQ(object.State, ObjectState::Incomplete);
    EXPECT_EQ(object.Status, 801);
    EXPECT_EQ(object.Received, 3);
    EXPECT_EQ(task->Queued, 0);
    EXPECT_EQ(reports.offsets, (std::vector<unsigned>{130, 131, 142, 137, 134}));
}

TEST_F(HLHTTPClientTest, StartingDocumentKeepsItsNameThroughARedirect) {
    task->StartDocName = "Starting Document.html";
    TDnObj& object = start("http://h/old.htm");
    net->answer("HTTP/1.0 302 Found\r\nLocation: /new.htm\r\n\r\n");
    settle();
    net->answer("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>");
    net->close();
    settle();
    EXPECT_EQ(object.Location, "http://h/new.htm");
    EXPECT_EQ(object.LocalName, "Starting Document.html");
    EXPECT_EQ(object.State, ObjectState::Retrieved);
    EXPECT_TRUE(std::filesystem::exists(dir / "Starting Document.html"));
}

}  // namespace
}  // namespace quillharbor
