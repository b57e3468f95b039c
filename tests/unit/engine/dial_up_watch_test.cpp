#include <gtest/gtest.h>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using DialUpWatchTest = EngineTest;

TEST_F(DialUpWatchTest, StartUpDetectionSetsFlagsPaneAndSupport) {
    struct Case {
        const char* name;
        bool present, useRasCtrl, loads, installed, connected;
        const char* pane;
        DialUpSupport support;
        bool useRasCtrlAfter, watching;
    };
    const Case cases[] = {
        {"no dial-up networking", false, true, true, true, true, "RAS: None", DialUpSupport::Off,
         false, false},
        {"UseRasCtrl off", true, false, true, true, true, "RAS: None", DialUpSupport::Off, false,
         false},
        {"module missing", true, true, false, true, true, "RAS: None", DialUpSupport::ModuleMissing,
         false, false},
        {"not installed", true, true, true, false, true, "RAS: None", DialUpSupport::Loaded, true,
         false},
        {"line down", true, true, true, true, false, "RAS: Inactive", DialUpSupport::Loaded, true,
         true},
        {"line up", true, true, true, true, true, "RAS: Active", DialUpSupport::Loaded, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(std::string("[General]\nUseRasCtrl=") + (c.useRasCtrl ? "1" : "0") + "\n");
        m_dialUp = FakeDialUp{};
        m_dialUp.present = c.present;
        m_dialUp.loads = c.loads;
        m_dialUp.installed = c.installed;
        m_dialUp.connected = c.connected;
        start().DetectDialup();
        EXPECT_EQ(m_view.status[1], c.pane);
        EXPECT_EQ(engine().dialUpSupport(), c.support);
        EXPECT_EQ(engine().globalOptions().UseRasCtrl, c.useRasCtrlAfter);
        EXPECT_EQ(state().RasWatching, c.watching);
        EXPECT_EQ(state().RasConnected, std::string(c.pane) == "RAS: Active");
        m_engine.reset();
    }
}

TEST_F(DialUpWatchTest, SwitchedOffUseRasCtrlIsWrittenAtClose) {
    writeSettings("[General]\nUseRasCtrl=1\n");
    m_dialUp.present = false;
    start().DetectDialup();
    ASSERT_TRUE(engine().SaveAtClose());
    EXPECT_NE(readWholeFile(m_dir / "Quillharbor.ini").valueOr({}).find("UseRasCtrl=0"),
              std::string::npos);
}

TEST_F(DialUpWatchTest, UnexpectedErrorHangsUpOnlyWithBreakConnection) {
    for (const bool breakConnection : {false, true}) {
        writeSettings(std::string("[General]\nUseRasCtrl=1\nBreakConnection=") +
                      (breakConnection ? "1" : "0") + "\n");
        m_dialUp = FakeDialUp{};
        m_dialUp.connected = true;
        start().DetectDialup();
        engine().HangUpAfterError();
        EXPECT_EQ(m_dialUp.hangups, breakConnection ? 1 : 0);
        EXPECT_TRUE(state().RasConnected) << "the process ends as it stands";
        m_engine.reset();
    }
}

}  // namespace
}  // namespace quillharbor::test
