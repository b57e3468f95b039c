// The FTP slot where no server is needed: what an FTP URL names on the server, a connect that
// fails against a closed loopback port, and the page saved for a listed directory.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clients/ftp_directory_page.h"
#include "clients/ftp_url_names.h"
#include "clients/hl_ftp_client.h"
#include "model/message_identity.h"
#include "net/loopback.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"

namespace quillharbor {
namespace {

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
    // The file name decoded, and never cleaned like a local name; the task's own login.
    EXPECT_EQ(cli.HostName() + " " + cli.Port() + " " + cli.HostDirName() + cli.HostFileName() +
                  " " + cli.UserName() + " " + cli.PassWord(),
              "127.0.0.1 " + port + " /pub/a?b:c.bin anna secret");

    ASSERT_TRUE(runUntilReady());
    const auto offset = [](EngineMessage message) { return static_cast<unsigned>(message); };
    EXPECT_EQ(reports, (std::vector<unsigned>{
                           offset(EngineMessage::ObjectStarted), offset(EngineMessage::FtpError),
                           offset(EngineMessage::TaskEnded), offset(EngineMessage::AdmitObjects)}));
    EXPECT_EQ(lParams[1], 10061) << "the socket's code for a refused connection";
    EXPECT_EQ(object.Status, 500);
    EXPECT_EQ(object.State, ObjectState::Incomplete) << "its known size keeps it resumable";
    EXPECT_EQ(object.ContentType, "noparsing");
    EXPECT_TRUE(slot->Obj() == nullptr && slot->InUse() == 0 && !cli.Connected());
    EXPECT_EQ(cli.UserName() + " " + cli.PassWord(), "anonymous user@void");
}

// The links the intake finds in the page are the entries' URLs, and each names its entry again
// once decoded.
TEST(FtpDirectoryPageTest, LinksNameEveryEntryUnderTheDirectory) {
    const std::vector<FtpListingEntry> entries = {
        {"with space.txt", false}, {"sub dir", true}, {"a&b<c>\"d'#?.txt", false}};
    const std::string page = FtpDirectoryPage("ftp://h:21/pub/", entries);
    std::vector<std::string> links;
    ExtractLinks(HtmlBuffer(page), links, false, "ftp://h:21/pub/");
    ASSERT_EQ(links, (std::vector<std::string>{"ftp://h:21/pub/with%20space.txt",
                                               "ftp://h:21/pub/sub%20dir/",
                                               "ftp://h:21/pub/a%26b%3Cc%3E%22d%27%23%3F.txt"}));
    EXPECT_EQ(FtpRemoteFileName(links[2]), entries[2].name);
    EXPECT_NE(page.find("a&amp;b&lt;c&gt;&quot;d'#?.txt</a>"), std::string::npos) << page;
}

}  // namespace
}  // namespace quillharbor
