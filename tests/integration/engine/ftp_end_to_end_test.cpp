// Tasks whose objects are FTP files, run by the engine with real FTP slots against the loopback
// FTP servers: the scheduler is ticked by hand and the loop driven between ticks.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "clients/ftp_servers.h"
#include "clients/hl_ftp_client.h"
#include "clients/network_slot_factory.h"
#include "engine/engine.h"
#include "engine/engine_link_intake.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"
#include "engine/null_link_rewrite_queue.h"
#include "engine/null_task_file_writer.h"
#include "net/http_servers.h"

namespace quillharbor::test {
namespace {

class NotedView : public NullEngineView {
public:
    void ShowObjectProgress(TDnObj&) override { ++progress; }
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }

    int progress = 0;
    std::vector<std::string> notifications;
};

class FtpEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<Engine>(
            EngineServices{loop, view, drop, dialUp, taskFiles, intake, rewriter, &factory},
            programDir.path());
        GlobalOptions& options = engine->globalOptions();
        options.TaskRoot = programDir.make("downloads");
        options.MaxHTTPConns = 0;
        options.MaxFTPConns = 1;
        options.FTPTimeout = 2;
        options.DefUser = "anna";
        options.DefPassword = "secret";
        options.Notify = 2 | 16 | 32;
        options.ObeyRobotExclusion = false;
    }
    void TearDown() override {
        engine.reset();
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }

    TTask* createTask(const std::string& name, const std::string& url,
                      const std::string& user = "anna", bool followFtp = false) {
        engine->PrepareNewTaskParams();
        NewTaskParams& params = engine->newTaskParams();
        params.Name = name;
        params.URL = url;
        params.FtpUser = user;
        params.FollowFTP = followFtp;
        params.StartAtOnce = true;
        return engine->CreateTask();
    }
    // Ticks the scheduler, driving the loop between ticks, until the task ends (bounded).
    bool runUntilFinished(const TTask& task) {
        for (int i = 0; i < 3000 && task.State != TaskState::Finished; ++i) {
            engine->Timer1Timer();
            loop.runOnce(std::chrono::milliseconds(5));
        }
        return task.State == TaskState::Finished;
    }
    THLFTPClient& slot() { return dynamic_cast<THLFTPClient&>(*engine->state().FtpSlots.at(0)); }

    FtpServers& servers = FtpServers::instance();
    TempDirectory programDir;
    MessageLoop loop;
    NotedView view;
    NullDropSource drop;
    NullDialUp dialUp;
    NullTaskFileWriter taskFiles;
    EngineLinkIntake intake;
    NullLinkRewriteQueue rewriter;
    NetworkSlotFactory factory{loop};
    std::unique_ptr<Engine> engine;
};

// The settings reach the slot (the INI's minutes as the component's seconds, the default login)
// and the scheduler dispatches the task's FTP starting URL to it.
TEST_F(FtpEndToEndTest, AnFtpStartingUrlIsDownloadedByTheScheduler) {
    ASSERT_TRUE(servers.startPyftpdlib());
    engine->ApplySettings();
    ASSERT_EQ(engine->state().FtpSlots.size(), 1u);
    EXPECT_EQ(slot().FtpCli().Timeout(), 120);
    EXPECT_EQ(slot().FtpCli().UserName(), "anna");
    EXPECT_TRUE(slot().FtpCli().ProxyServer().empty());

    TTask* task = createTask(
        "files", "ftp://127.0.0.1:" + std::to_string(servers.pyftpdlibPort) + "/pub/file.bin");
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(runUntilFinished(*task));
    TDnObj& file = *task->Objects.begin();
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(file.Received, static_cast<std::int64_t>(FtpServers::FileSize));
    EXPECT_EQ(contentsOf(task->Dir + file.LocalName), pattern(FtpServers::FileSize));
    EXPECT_EQ(task->Queued, 0);
    EXPECT_GT(view.progress, 0);
    EXPECT_EQ(view.notifications, (std::vector<std::string>{"Task files is finished."}));
    EXPECT_EQ(engine->state().BytesWindow + engine->state().BytesTotal, file.Received);
}

// With UseFTPProxy the slots log in through ftp-proxy, passively; an error reply is notified
// with its code.
TEST_F(FtpEndToEndTest, TheProxySettingSendsEveryTransferThroughTheProxy) {
    ASSERT_TRUE(servers.startVsftpd() && servers.startProxy());
    GlobalOptions& options = engine->globalOptions();
    options.UseFTPProxy = true;
    options.FTPProxyName = "127.0.0.1:" + std::to_string(servers.proxyPort);
    engine->ApplySettings();
    EXPECT_EQ(slot().FtpCli().ProxyServer(), "127.0.0.1");

    const std::string server = "ftp://127.0.0.1:" + std::to_string(servers.vsftpdPort);
    TTask* task = createTask("proxied", server + "/other/file.bin", "anonymous");
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(runUntilFinished(*task));
    TDnObj& file = *task->Objects.begin();
    EXPECT_EQ(file.State, ObjectState::Retrieved);
    EXPECT_EQ(contentsOf(task->Dir + file.LocalName), pattern(5000, 7));
    EXPECT_EQ(slot().FtpCli().ConnectionType(), TFtpConnectionType::ftpProxy);

    TTask* missing = createTask("missing", server + "/pub/none.bin", "anonymous");
    ASSERT_NE(missing, nullptr);
    ASSERT_TRUE(runUntilFinished(*missing));
    EXPECT_EQ(missing->Objects.begin()->State, ObjectState::FtpError);
    EXPECT_EQ(view.notifications.at(1),
              "FTP protocol error 550 when retrieving URL " + server + "/pub/none.bin");
}

// An HTML page with two FTP links: a task that follows FTP links fetches both files through the
// FTP slot after the page came through the HTTP slot; a task that does not stops at the page.
TEST_F(FtpEndToEndTest, FtpLinksOfAPageAreFollowedOnlyWithFollowFtp) {
    HttpServers& http = HttpServers::instance();
    ASSERT_TRUE(servers.startPyftpdlib() && http.startNginx());
    const std::string server = "ftp://127.0.0.1:" + std::to_string(servers.pyftpdlibPort);
    std::ofstream(http.work.path() + "/www/ftp-links.html")
        << "<html><body><a href=\"" << server << "/pub/file.bin\">one</a>\n"
        << "<a href=\"" << server << "/other/file.bin\">two</a></body></html>\n";
    engine->globalOptions().MaxHTTPConns = 1;
    engine->ApplySettings();
    const std::string page =
        "http://127.0.0.1:" + std::to_string(http.nginxPort) + "/ftp-links.html";

    TTask* following = createTask("following", page, "anna", true);
    ASSERT_NE(following, nullptr);
    ASSERT_TRUE(runUntilFinished(*following));
    EXPECT_EQ(following->Total, 3);
    for (TDnObj& object : following->Objects) {
        if (object.URL == page) {
            continue;
        }
        EXPECT_EQ(object.State, ObjectState::Retrieved) << object.URL;
        EXPECT_EQ(contentsOf(following->Dir + object.LocalName),
                  object.URL.ends_with("/pub/file.bin") ? pattern(FtpServers::FileSize)
                                                        : pattern(5000, 7));
    }

    TTask* staying = createTask("staying", page + "?again", "anna", false);
    ASSERT_NE(staying, nullptr);
    ASSERT_TRUE(runUntilFinished(*staying));
    EXPECT_EQ(staying->Total, 1);
}

// A directory URL grabs the tree below it, names with blanks included: each listing becomes a
// page whose entries the intake takes, MLSD telling directories apart (pyftpdlib), or NLST names
// that prove to be directories when fetched (vsftpd).
TEST_F(FtpEndToEndTest, ADirectoryUrlGrabsTheWholeTree) {
    ASSERT_TRUE(servers.startPyftpdlib() && servers.startVsftpd());
    engine->ApplySettings();
    for (const std::uint16_t port : {servers.pyftpdlibPort, servers.vsftpdPort}) {
        const std::string server = "ftp://127.0.0.1:" + std::to_string(port);
        SCOPED_TRACE(server);
        engine->PrepareNewTaskParams();
        NewTaskParams& params = engine->newTaskParams();
        params.Name = "tree-" + std::to_string(port);
        params.URL = server + "/tree/";
        params.BoundaryPrefix = params.URL;
        params.FtpUser = port == servers.vsftpdPort ? "anonymous" : "anna";
        params.MaxLevelsInf = true;
        params.StartAtOnce = true;
        TTask* task = engine->CreateTask();
        ASSERT_NE(task, nullptr);
        ASSERT_TRUE(runUntilFinished(*task));

        std::size_t files = 0;
        for (TDnObj& object : task->Objects) {
            EXPECT_TRUE(object.State == ObjectState::Done || object.State == ObjectState::Retrieved)
                << object.URL << " " << static_cast<int>(object.State);
            for (const FtpServers::TreeFile& file : FtpServers::TreeFiles) {
                const std::string name =
                    std::string(file.path).substr(std::string(file.path).rfind('/') + 1);
                if (object.LocalName == name) {
                    ++files;
                    EXPECT_EQ(contentsOf(task->Dir + name),
                              pattern(file.size, static_cast<unsigned>(file.size)));
                }
            }
        }
        EXPECT_EQ(files, std::size(FtpServers::TreeFiles));
        // The tree's three files and four directories, the starting one included.
        EXPECT_EQ(task->Total, 7);
        EXPECT_NE(contentsOf(task->Dir + task->StartDocName).find("with%20space.txt"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace quillharbor::test
