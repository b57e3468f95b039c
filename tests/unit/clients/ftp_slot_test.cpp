// The FTP slot where no server is needed: the host and port it connects to, and a connect that
// fails against a closed loopback port.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clients/ftp_host_port.h"
#include "clients/hl_ftp_client.h"
#include "model/message_identity.h"
#include "net/loopback.h"

namespace quillharbor {
namespace {

TEST(FtpHostPortTest, SplitsOnlyATrailingNumber) {
    const auto split = [](std::string_view text) {
        const FtpHostPort parts = splitFtpHostPort(text);
        return parts.host + "|" + parts.port;
    };
    for (const auto& [text, parts] : {std::pair{"ftp.example.org", "ftp.example.org|ftp"},
                                      {"127.0.0.1:2121", "127.0.0.1|2121"},
                                      {"host:", "host:|ftp"},
                                      {"a:b:21", "a:b|21"},
                                      {"[::1]:2121", "::1|2121"},
                                      {"[::1]", "::1|ftp"},
                                      {"", "|ftp"}}) {
        EXPECT_EQ(split(text), parts) << text;
    }
}

class FtpSlotUnitTest : public ::testing::Test, public MessageTarget {
protected:
    void SetUp() override {
        state.DefaultFtpUser = "anonymous";
        state.DefaultFtpPassword = "user@void";
        task = &state.TaskList.TaskInsert(
            NewTask("t", "ftp://h/", "/nonexistent/", 0, "", 0, 0, "anna", "secret"));
        reportTo = loop.add(*this);
        slot = std::make_unique<THLFTPClient>(loop, 3, SlotContext{"agent", reportTo, &state});
    }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }
    void onMessage(const Message& message) override {
        reports.push_back(message.number - WM_USER);
        lParams.push_back(message.lParam);
    }
    bool runUntilReady() {
        for (int i = 0; i < 100 && !slot->ready(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        loop.processPending();
        return slot->ready();
    }

    MessageLoop loop;
    EngineState state;
    TTask* task = nullptr;
    Handle reportTo = 0;
    std::unique_ptr<THLFTPClient> slot;
    std::vector<unsigned> reports;
    std::vector<std::intptr_t> lParams;
};

TEST_F(FtpSlotUnitTest, AFailedConnectEndsTheObjectAsAnFtpErrorAndFreesTheSlot) {
    const std::string port = test::closedPort();
    TDnObj& object = *NewDnObj(*task, "ftp://127.0.0.1:" + port + "/pub/a%3Fb:c.bin", 1);
    object.Size = 100;  // from an earlier run, with nothing of the file present
    slot->Start(object);

    EXPECT_FALSE(slot->ready());
    EXPECT_EQ(object.State, ObjectState::Retrieving);
    EXPECT_EQ(object.ContentType, "unknown");
    TFtpClient& cli = slot->FtpCli();
    EXPECT_EQ(cli.HostName(), "127.0.0.1");
    EXPECT_EQ(cli.Port(), port);
    EXPECT_EQ(cli.HostDirName(), "/pub/");
    EXPECT_EQ(cli.HostFileName(), "a?b:c.bin") << "decoded, and never cleaned like a local name";
    EXPECT_EQ(cli.UserName(), "anna");
    EXPECT_EQ(cli.PassWord(), "secret");

    ASSERT_TRUE(runUntilReady());
    const auto offset = [](EngineMessage message) { return static_cast<unsigned>(message); };
    EXPECT_EQ(reports, (std::vector<unsigned>{
                           offset(EngineMessage::ObjectStarted), offset(EngineMessage::FtpError),
                           offset(EngineMessage::TaskEnded), offset(EngineMessage::AdmitObjects)}));
    EXPECT_EQ(lParams[1], 10061) << "the socket's code for a refused connection";
    EXPECT_EQ(object.Status, 500);
    EXPECT_EQ(object.State, ObjectState::Incomplete) << "its known size keeps it resumable";
    EXPECT_EQ(object.ContentType, "noparsing");
    EXPECT_EQ(slot->Obj(), nullptr);
    EXPECT_EQ(slot->InUse(), 0);
    EXPECT_EQ(cli.UserName(), "anonymous");
    EXPECT_EQ(cli.PassWord(), "user@void");
    EXPECT_FALSE(cli.Connected());
}

}  // namespace
}  // namespace quillharbor
