// The dial-up module over the links of a private network namespace, and the engine's dial-up
// behaviour on top of it with transfers from servers on that namespace's loopback.

#include <gmock/gmock.h>
#include <unistd.h>

#include "dialup/dial_up_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;

// A module file that is missing or lacks an entry point is not taken; the real one answers from
// the links and signals the daemon its pid file names, nobody else.
TEST_F(DialUpTest, ModuleAnswersFromTheNamespacesLinks) {
    for (const std::string& unusable : {programDir / DialUpLibrary::kFileName,
                                        std::string(QUILLHARBOR_DIALWATCH_WITHOUT_HANGUP)}) {
        EXPECT_FALSE(DialUpLibrary(unusable).LoadModule()) << unusable;
    }
    DialUpLibrary module(QUILLHARBOR_DIALWATCH);
    ASSERT_TRUE(module.LoadModule());
    EXPECT_FALSE(module.NetworkingPresent() || module.IsRASInstalled()) << "no daemon yet";
    StandInDaemon daemon;
    EXPECT_TRUE(module.NetworkingPresent() && module.IsRASInstalled());
    // Each change of the links, and whether a dial-up link is up after it.
    const std::pair<std::string, bool> steps[] = {{"", false},
                                                  {"+eth7", false},
                                                  {"+ppp0", true},
                                                  {"link set ppp0 down", false},
                                                  {"link set ppp0 up", true}};
    for (const auto& [change, connected] : steps) {
        SCOPED_TRACE(change);
        ASSERT_TRUE(change.empty() || (change[0] == '+' ? addLink(change.substr(1)) : ip(change)));
        EXPECT_EQ(module.IsRASConnected(), connected);
    }
    // A pid file naming a process that is not the daemon (this one): nobody is signalled.
    std::ofstream(network.runDirectory + "/ppp0.pid") << ::getpid() << "\nppp0\n";
    module.Hangup();
    EXPECT_TRUE(module.IsRASConnected());
    ASSERT_TRUE(daemon.start());
    module.Hangup();
    EXPECT_EQ(daemon.recorded(), "TERM\n");
    EXPECT_TRUE(eventually([&] { return !module.IsRASConnected(); })) << "the daemon ended ppp0";
}

// A link that comes up during a transfer is shown active, and the idle line is hung up after it;
// one that breaks during a transfer stops every task as Stop All does, with no hang-up.
TEST_F(DialUpTest, TheEngineFollowsTheLinkThroughTransfers) {
    StandInDaemon daemon;
    ASSERT_TRUE(servers.startNginx() && servers.startScripted());
    start("UseRasCtrl=1\nBreakConnection=1\nNotify=0\n");
    EXPECT_EQ(grab->engine().dialUpSupport(), DialUpSupport::Loaded);
    ASSERT_TRUE(addLink("ppp0"));
    ASSERT_TRUE(daemon.start());
    TTask& task = document("site", servers.nginxPort, "/index.html");
    ASSERT_TRUE(grab->runUntil([&] { return task.State == TaskState::Finished; }));
    EXPECT_THAT(grab->view().panes,
                ElementsAre("RAS: None", "RAS: Inactive", "RAS: Active", "RAS disconnected"));
    EXPECT_EQ(daemon.recorded(), "TERM\n");
    EXPECT_TRUE(grab->state().RasWatching);
    EXPECT_FALSE(grab->state().RasConnected);

    std::filesystem::remove(network.signalsPath);
    ASSERT_TRUE(eventually([] { return !ip("link show ppp0"); }));
    ASSERT_TRUE(addLink("ppp0"));
    start("UseRasCtrl=1\nNotify=4\n");
    TTask& endless = document("endless", servers.scriptedPort, "/endless");
    const TDnObj& object = *endless.Objects.begin();
    ASSERT_TRUE(grab->runUntil([&] { return object.Received > 0; }));
    ASSERT_TRUE(ip("link del ppp0"));
    TTask& dropped = document("dropped", servers.scriptedPort, "/drop");
    // Stopped as Stop All stops: nothing more is dispatched, the transfer under way may end.
    ASSERT_TRUE(grab->runUntil([&] { return endless.State == TaskState::Stopped; }));
    EXPECT_NE(dropped.State, TaskState::Running);
    EXPECT_THAT(grab->view().panes, ElementsAre("RAS: None", "RAS: Active", "RAS: Broken"));
    EXPECT_THAT(grab->view().notifications, ElementsAre("The internet connection was broken."));
    EXPECT_TRUE(grab->state().RasWatching);
    EXPECT_FALSE(std::filesystem::exists(network.signalsPath)) << "no hang-up";
}

}  // namespace
}  // namespace quillharbor::test
