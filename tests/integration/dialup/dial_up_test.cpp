// The dial-up module over the links of a private network namespace, and the engine's dial-up
// behaviour on top of it with transfers from servers on that namespace's loopback.

#include <gmock/gmock.h>
#include <sys/wait.h>

#include "dialup/dial_up_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;

TEST_F(DialUpLinkTest, ModuleAnswersFromTheNamespacesLinks) {
    DialUpLibrary module(QUILLHARBOR_DIALWATCH);
    ASSERT_TRUE(module.LoadModule());
    EXPECT_FALSE(module.NetworkingPresent()) << "no daemon yet";
    EXPECT_FALSE(module.IsRASInstalled());
    StandInDaemon daemon;
    EXPECT_TRUE(module.NetworkingPresent());
    EXPECT_TRUE(module.IsRASInstalled());

    EXPECT_FALSE(module.IsRASConnected());
    ASSERT_TRUE(addLink("eth7"));
    EXPECT_FALSE(module.IsRASConnected()) << "not a dial-up link";
    ASSERT_TRUE(addLink("ppp0"));
    EXPECT_TRUE(module.IsRASConnected());
    ASSERT_TRUE(ip({"link", "set", "ppp0", "down"}));
    EXPECT_FALSE(module.IsRASConnected()) << "ppp0 is down";
    ASSERT_TRUE(ip({"link", "set", "ppp0", "up"}));
    EXPECT_TRUE(module.IsRASConnected());

    // A pid file naming a process that is not the daemon: nobody is signalled.
    const pid_t other = spawn({"sleep", "30"});
    ASSERT_GT(other, 0);
    std::ofstream(network.runDirectory() + "/ppp0.pid") << other << "\nppp0\n";
    module.Hangup();
    EXPECT_TRUE(module.IsRASConnected());

    ASSERT_TRUE(daemon.start());
    module.Hangup();
    EXPECT_EQ(daemon.recorded(), "TERM\n");
    EXPECT_TRUE(eventually([&] { return !module.IsRASConnected(); })) << "the daemon ended ppp0";
    // By now a signal sent with the first hang-up would long have ended it.
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0) << "the other process still runs";
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
}

TEST_F(DialUpLinkTest, LinkUpDuringATransferIsActiveAndIdleHangsItUp) {
    StandInDaemon daemon;
    ASSERT_TRUE(servers.startNginx());
    start("UseRasCtrl=1\nBreakConnection=1\nNotify=0\n");
    EXPECT_EQ(grab->engine().dialUpSupport(), DialUpSupport::Loaded);
    ASSERT_TRUE(addLink("ppp0"));
    ASSERT_TRUE(daemon.start());
    TTask* task = grab->createDocumentTask(
        "site", "http://127.0.0.1:" + std::to_string(servers.nginxPort) + "/index.html");
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab->runUntil([&] { return task->State == TaskState::Finished; }));
    EXPECT_THAT(grab->view().panes,
                ElementsAre("RAS: None", "RAS: Inactive", "RAS: Active", "RAS disconnected"));
    EXPECT_EQ(daemon.recorded(), "TERM\n");
    EXPECT_TRUE(grab->state().RasWatching);
    EXPECT_FALSE(grab->state().RasConnected);
}

TEST_F(DialUpLinkTest, LinkBrokenDuringATransferStopsEveryTask) {
    StandInDaemon daemon;
    ASSERT_TRUE(servers.startScripted());
    ASSERT_TRUE(addLink("ppp0"));
    start("UseRasCtrl=1\nNotify=4\n");
    const std::string server = "http://127.0.0.1:" + std::to_string(servers.scriptedPort);
    TTask* endless = grab->createDocumentTask("endless", server + "/endless");
    ASSERT_NE(endless, nullptr);
    const TDnObj& object = *endless->Objects.begin();
    ASSERT_TRUE(grab->runUntil([&] { return object.Received > 0; }));

    ASSERT_TRUE(ip({"link", "del", "ppp0"}));
    TTask* dropped = grab->createDocumentTask("dropped", server + "/drop");
    ASSERT_NE(dropped, nullptr);
    // Stopped as Stop All stops: nothing more is dispatched, the transfer under way may end.
    ASSERT_TRUE(grab->runUntil([&] { return endless->State == TaskState::Stopped; }));
    EXPECT_NE(dropped->State, TaskState::Running);
    EXPECT_THAT(grab->view().panes, ElementsAre("RAS: None", "RAS: Active", "RAS: Broken"));
    EXPECT_THAT(grab->view().notifications, ElementsAre("The internet connection was broken."));
    EXPECT_TRUE(grab->state().RasWatching);
    EXPECT_EQ(std::filesystem::exists(network.signalsPath()), false) << "no hang-up";
}

TEST_F(DialUpTest, WithoutDaemonModuleOrEntryPointTheFeatureIsOff) {
    const std::string emptyFolder = programDir.make("empty");
    const struct {
        const char* name;
        std::string module;
        bool daemon;
        DialUpSupport support;
    } cases[] = {
        {"no PPP daemon", QUILLHARBOR_DIALWATCH, false, DialUpSupport::Off},
        {"empty folder", emptyFolder + "/" + DialUpLibrary::kFileName, true,
         DialUpSupport::ModuleMissing},
        {"no Hangup entry point", QUILLHARBOR_DIALWATCH_WITHOUT_HANGUP, true,
         DialUpSupport::ModuleMissing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<StandInDaemon> daemon(c.daemon ? new StandInDaemon : nullptr);
        start("UseRasCtrl=1\nBreakConnection=1\n", c.module);
        EXPECT_EQ(grab->engine().dialUpSupport(), c.support);
        EXPECT_THAT(grab->view().panes, ElementsAre("RAS: None"));
        EXPECT_FALSE(grab->engine().globalOptions().UseRasCtrl);
        EXPECT_FALSE(grab->state().RasWatching);
    }
}

}  // namespace
}  // namespace quillharbor::test
