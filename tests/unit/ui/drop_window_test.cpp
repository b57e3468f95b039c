#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_fakes.h"
#include "ui/drop_capture.h"
#include "ui/drop_window_controls.h"

namespace quillharbor {
namespace {

using ::testing::ElementsAre;

TEST(DropCaptureTest, ModifierKeysGiveTheActionCodes) {
    struct Case {
        bool ctrl, shift, alt;
        std::optional<int> action;
    };
    const Case cases[] = {
        {false, false, false, 0},
        {true, false, false, 1},
        {false, true, false, 2},
        {false, false, true, 3},
        {true, true, false, 4},
        {true, false, true, std::nullopt},
        {false, true, true, std::nullopt},
        {true, true, true, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dropActionFor(c.ctrl, c.shift, c.alt), c.action) << c.ctrl << c.shift << c.alt;
    }
}

TEST(DropCaptureTest, WhatATextOrADragYields) {
    EXPECT_EQ(linkInText(" http://h/a.html\r\n"), "http://h/a.html");
    EXPECT_EQ(linkInText("ftp://h/pub/"), "ftp://h/pub/");
    EXPECT_EQ(linkInText("https://h/"), "https://h/");
    for (const char* refused :
         {"", "h/a.html", "mailto:x@h", "see http://h/", "http://h/ http://i/"}) {
        EXPECT_EQ(linkInText(refused), std::nullopt) << refused;
    }
    EXPECT_EQ(linkInUriList("# from a page\r\nfile:///tmp/x\r\nhttp://h/b\r\n"), "http://h/b");

    struct Case {
        const char* name;
        DropFormats formats;
        std::optional<std::string> url;
        std::string document;
        bool captured = true;
    };
    const Case cases[] = {
        // A dragged link carries its anchor as HTML too: the link wins.
        {"link",
         {"http://h/a\r\n", "http://h/a", "<a href=\"http://h/a\">a</a>", {}},
         "http://h/a",
         ""},
        {"plain text", {{}, " ftp://h/f ", {}, {}}, "ftp://h/f", ""},
        {"page", {{}, "words", "<p>x</p>", "http://h/page.html"}, "http://h/page.html", "<p>x</p>"},
        {"page without its URL", {{}, {}, "<p>x</p>", {}}, std::nullopt, "<p>x</p>"},
        {"nothing usable", {"file:///tmp/x", "words", {}, {}}, std::nullopt, "", false},
        {"empty HTML", {{}, {}, "", "http://h/"}, std::nullopt, "", false},
    };
    for (const Case& c : cases) {
        const std::optional<DropCapture> capture = captureOfDrop(c.formats);
        ASSERT_EQ(capture.has_value(), c.captured) << c.name;
        if (capture) {
            EXPECT_EQ(capture->url, c.url) << c.name;
            EXPECT_EQ(capture->document, c.document) << c.name;
        }
    }
}

TEST(DropCaptureTest, PositionTextRoundTripsAndRefusesGarbage) {
    EXPECT_EQ(positionFromText(positionText({-20, 700})), (ScreenPoint{-20, 700}));
    for (const char* bad : {"", "12", "1,", ",2", "1,2,3", "x,2", "1, 2"}) {
        EXPECT_EQ(positionFromText(bad), std::nullopt) << bad;
    }
}

// The toggles after each sequence of clicks and drop-window reports.
class DropWindowControlsTest : public ::testing::Test {
protected:
    struct Expected {
        bool dropButton;
        const char* hint;
        bool dropItem;
        const char* caption;
        bool pasteButton, pasteItem;
        bool showSetting, pasteSetting, visible;
    };
    void check(const Expected& e) {
        EXPECT_EQ(m_controls.dropButtonPressed(), e.dropButton);
        EXPECT_EQ(m_controls.dropButtonHint(), e.hint);
        EXPECT_EQ(m_controls.dropItemChecked(), e.dropItem);
        EXPECT_EQ(m_controls.dropItemCaption(), e.caption);
        EXPECT_EQ(m_controls.pasteButtonPressed(), e.pasteButton);
        EXPECT_EQ(m_controls.pasteItemChecked(), e.pasteItem);
        EXPECT_EQ(m_settings.ShowDropWindow, e.showSetting);
        EXPECT_EQ(m_settings.PasteLinksFromClipboard, e.pasteSetting);
        EXPECT_EQ(m_module.visible, e.visible);
    }

    test::FakeDropSource m_module;
    GlobalOptions m_settings;
    DropWindowControls m_controls{m_module, m_settings};
};

TEST_F(DropWindowControlsTest, StartUpFollowsTheSettingsAndKeepsTheHint) {
    m_settings.ShowDropWindow = false;
    m_settings.PasteLinksFromClipboard = true;
    m_controls.startUp();
    check({false, "Hide Drop Window", false, "&Show Drop Window", true, true, false, true, false});
    EXPECT_THAT(m_module.calls, ElementsAre("Hide", "Clip 1", "PasteMI 1"));

    m_controls.dropButtonClicked();
    check({true, "Hide Drop Window", true, "&Show Drop Window", true, true, true, true, true});
}

TEST_F(DropWindowControlsTest, HiddenFromItsMenuThenShownByTheButton) {
    m_controls.startUp();
    m_module.visible = false;  // the window hid itself
    m_controls.hiddenFromMenu();
    check(
        {false, "Show Drop Window", false, "Show Drop Window", false, false, false, false, false});
    m_controls.dropButtonClicked();
    check({true, "Hide Drop Window", true, "Show Drop Window", false, false, true, false, true});
    m_controls.dropItemClicked();
    check(
        {false, "Show Drop Window", false, "Show Drop Window", false, false, false, false, false});
}

TEST_F(DropWindowControlsTest, WatchingIsFlippedOnEachToggle) {
    m_controls.startUp();
    m_module.calls.clear();
    for (int click = 0; click < 3; ++click) {
        m_controls.pasteButtonClicked();
    }
    check({true, "Hide Drop Window", true, "&Show Drop Window", true, true, true, true, true});
    EXPECT_THAT(m_module.calls,
                ElementsAre("PasteMI 1", "Clip 1", "PasteMI 0", "Clip 0", "PasteMI 1", "Clip 1"));

    // From the drop window's menu its own item has already changed: no PasteMI call.
    m_module.calls.clear();
    m_controls.clipboardToggledFromMenu();
    m_controls.pasteItemClicked();
    check({true, "Hide Drop Window", true, "&Show Drop Window", true, true, true, true, true});
    EXPECT_THAT(m_module.calls, ElementsAre("Clip 0", "PasteMI 1", "Clip 1"));

    m_module.calls.clear();
    m_controls.dialogItemsEnabled(false);
    m_controls.dialogItemsEnabled(false);
    m_controls.dialogItemsEnabled(true);
    EXPECT_THAT(m_module.calls, ElementsAre("DialogMI 0", "DialogMI 1"));
}

}  // namespace
}  // namespace quillharbor
