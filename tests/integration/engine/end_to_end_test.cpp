// Tasks run by the engine with real HTTP and FTP slots against the loopback servers, the
// scheduler ticked by hand so that its minutes pass in seconds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "clients/ftp_servers.h"
#include "clients/hl_ftp_client.h"
#include "engine/site_grab.h"
#include "net/http_servers.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;

class EndToEndTest : public ::testing::Test {
protected:
    // One HTTP and one FTP slot, logging in as anna unless a task says otherwise.
    void SetUp() override {
        grab =
            std::make_unique<SiteGrab>(program.path() + "/", program.make("downloads") + "/", 1, 1);
        GlobalOptions& options = grab->engine().globalOptions();
        options.HTTPTimeout = 1;
        options.FTPTimeout = 2;
        options.DefUser = "anna";
        options.DefPassword = "secret";
        options.Notify = 2 | 16 | 32;
        options.ObeyRobotExclusion = false;
        grab->engine().ApplySettings();
    }
    void TearDown() override { EXPECT_EQ(grab->end(), 0u) << "targets or sockets left"; }

    TTask* createTask(const std::string& name, const std::string& url, const std::string& user,
                      bool followFtp = false, const std::string& boundary = "") {
        return grab->createTask(name, url, boundary, [&](NewTaskParams& params) {
            params.FtpUser = user;
            params.FollowFTP = followFtp;
        });
    }
    bool finish(const TTask* task) {
        return task != nullptr &&
               grab->tickUntil([task] { return task->State == TaskState::Finished; });
    }
    THLFTPClient& ftpSlot() { return dynamic_cast<THLFTPClient&>(*grab->state().FtpSlots.at(0)); }
    static std::string ftp(std::uint16_t port) { return "ftp://127.0.0.1:" + std::to_string(port); }

    TempDirectory program;
    std::unique_ptr<SiteGrab> grab;
    FtpServers& servers = FtpServers::instance();
    HttpServers& http = HttpServers::instance();
};

TEST_F(EndToEndTest, AnHttpDocumentIsSavedAndASilentServerTimesOut) {
    ASSERT_TRUE(http.startNginx() && http.startScripted());
    TTask* task = grab->createDocumentTask(
        "site", "http://127.0.0.1:" + std::to_string(http.nginxPort) + "/index.html");
    ASSERT_TRUE(finish(task));
    const TDnObj& start = *task->Objects.begin();
    EXPECT_EQ(start.State, ObjectState::Done);
    EXPECT_EQ(start.LocalName, task->StartDocName);
    EXPECT_EQ(contentsOf(task->Dir + start.LocalName), http.document);
    EXPECT_EQ(task->Queued, 0);
    EXPECT_GE(grab->taskFileWrites(), 2) << "at creation and at the end";

    TTask* quiet = grab->createDocumentTask(
        "quiet", "http://127.0.0.1:" + std::to_string(http.scriptedPort) + "/silence");
    ASSERT_NE(quiet, nullptr);
    int busyTicks = 0;
    ASSERT_TRUE(grab->tickUntil([&] {
        busyTicks += grab->state().HttpSlots[0]->ready() ? 0 : 1;
        return quiet->State == TaskState::Finished;
    }));
    EXPECT_EQ(quiet->Objects.begin()->State, ObjectState::Removed) << "nothing received";
    EXPECT_EQ(quiet->Objects.begin()->Status, 801);
    EXPECT_GE(busyTicks, kTicksPerMinute);
}

// The settings reach the slot (the INI's minutes as the component's seconds, the default
// login); a file, the FTP links of a page (followed only with FollowFTP) and a directory's
// whole tree come down: each listing becomes a page whose entries the intake takes, MLSD telling
// directories apart (pyftpdlib) or NLST names that prove to be directories when fetched
// (vsftpd), names with blanks, "&" and "%" included.
TEST_F(EndToEndTest, FtpFilesLinkedFilesAndWholeTreesAreGrabbed) {
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd() && http.startNginx());
    EXPECT_EQ(ftpSlot().FtpCli().Timeout(), 120);
    EXPECT_EQ(ftpSlot().FtpCli().UserName(), "anna");
    EXPECT_TRUE(ftpSlot().FtpCli().ProxyServer().empty());
    const std::string server = ftp(servers.pyftpdlibPort);
    TTask* files = createTask("files", server + "/pub/file.bin", "anna");
    ASSERT_TRUE(finish(files));
    const TDnObj& file = *files->Objects.begin();
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(file.Received, static_cast<std::int64_t>(FtpServers::FileSize));
    EXPECT_EQ(contentsOf(files->Dir + file.LocalName), pattern(FtpServers::FileSize));
    EXPECT_GT(grab->view().progress, 0);
    EXPECT_THAT(grab->view().notifications, Contains("Task files is finished."));
    EXPECT_EQ(grab->state().BytesWindow + grab->state().BytesTotal, file.Received);

    std::ofstream(http.work.path() + "/www/ftp-links.html")
        << "<a href=\"" << server << "/pub/file.bin\">one</a>\n<a href=\"" << server
        << "/other/file.bin\">two</a>\n";
    const std::string page =
        "http://127.0.0.1:" + std::to_string(http.nginxPort) + "/ftp-links.html";
    grab->engine().globalOptions().ForceFTPRetrieve = true;  // not a copy of the files task's
    grab->engine().ApplySettings();
    TTask* following = createTask("following", page, "anna", true);
    ASSERT_TRUE(finish(following));
    EXPECT_EQ(following->Total, 3);
    for (const TDnObj& object : following->Objects) {
        if (object.URL != page) {
            EXPECT_EQ(object.State, ObjectState::Retrieved) << object.URL;
            EXPECT_EQ(contentsOf(following->Dir + object.LocalName),
                      object.URL.ends_with("/pub/file.bin") ? pattern(FtpServers::FileSize)
                                                            : pattern(5000, 7));
        }
    }
    TTask* staying = createTask("staying", page + "?again", "anna");
    ASSERT_TRUE(finish(staying));
    EXPECT_EQ(staying->Total, 1);

    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        SCOPED_TRACE(ftp(port));
        const std::string tree = ftp(port) + "/tree/";
        TTask* task = createTask("tree-" + std::to_string(port), tree,
                                 port == servers.vsftpdPort ? "anonymous" : "anna", false, tree);
        ASSERT_TRUE(finish(task));
        std::size_t found = 0;
        for (const TDnObj& object : task->Objects) {
            EXPECT_TRUE(object.State == ObjectState::Done || object.State == ObjectState::Retrieved)
                << object.URL << " " << static_cast<int>(object.State);
            for (const FtpServers::TreeFile& treeFile : FtpServers::TreeFiles) {
                const std::string path = treeFile.path;
                if (object.LocalName == path.substr(path.rfind('/') + 1)) {
                    ++found;
                    EXPECT_EQ(contentsOf(task->Dir + object.LocalName),
                              pattern(treeFile.size, static_cast<unsigned>(treeFile.size)));
                }
            }
        }
        EXPECT_EQ(found, std::size(FtpServers::TreeFiles));
        EXPECT_EQ(task->Total, 7) << "three files and four directories, the starting one too";
        EXPECT_NE(contentsOf(task->Dir + task->StartDocName).find("with%20space.txt"),
                  std::string::npos);
    }
}

// With UseFTPProxy the slots log in through ftp-proxy, passively; an error reply is notified
// with its code.
TEST_F(EndToEndTest, TheProxySettingSendsEveryTransferThroughTheProxy) {
    ASSERT_TRUE(servers.startVsftpd() && servers.startProxy());
    GlobalOptions& options = grab->engine().globalOptions();
    options.UseFTPProxy = true;
    options.FTPProxyName = "127.0.0.1:" + std::to_string(servers.proxyPort);
    grab->engine().ApplySettings();
    EXPECT_EQ(ftpSlot().FtpCli().ProxyServer(), "127.0.0.1");

    const std::string server = ftp(servers.vsftpdPort);
    TTask* task = createTask("proxied", server + "/other/file.bin", "anonymous");
    ASSERT_TRUE(finish(task));
    EXPECT_EQ(task->Objects.begin()->State, ObjectState::Retrieved);
    EXPECT_EQ(contentsOf(task->Dir + task->Objects.begin()->LocalName), pattern(5000, 7));
    EXPECT_EQ(ftpSlot().FtpCli().ConnectionType(), TFtpConnectionType::ftpProxy);

    TTask* missing = createTask("missing", server + "/pub/none.bin", "anonymous");
    ASSERT_TRUE(finish(missing));
    EXPECT_EQ(missing->Objects.begin()->State, ObjectState::FtpError);
    EXPECT_THAT(grab->view().notifications,
                Contains("FTP protocol error 550 when retrieving URL " + server + "/pub/none.bin"));
}

}  // namespace
}  // namespace quillharbor::test
