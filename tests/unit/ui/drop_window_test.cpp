// The drop window's captures and toggles, and the slots of the notification boxes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_fakes.h"
#include "ui/drop_capture.h"
#include "ui/drop_window_controls.h"
#include "ui/notification_slots.h"

namespace quillharbor {
namespace {

using ::testing::ElementsAre;

TEST(DropCaptureTest, ModifierKeysGiveTheActionCodes) {
    // Ctrl, Shift and Alt as three bits; the three combinations not listed give no action.
    const std::optional<int> actions[] = {0, 1, 2, 4, 3, std::nullopt, std::nullopt, std::nullopt};
    const bool keys[][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                            {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(dropActionFor(keys[i][0], keys[i][1], keys[i][2]), actions[i]) << i;
    }
}

TEST(DropCaptureTest, WhatATextOrADragYields) {
    EXPECT_EQ(linkInText(" http://h/a.html\r\n"), "http://h/a.html");
    EXPECT_EQ(linkInText("ftp://h/pub/"), "ftp://h/pub/");
    for (const char* refused :
         {"", "h/a.html", "mailto:x@h", "see http://h/", "http://h/ http://i/"}) {
        EXPECT_EQ(linkInText(refused), std::nullopt) << refused;
    }
    EXPECT_EQ(linkInUriList("# from a page\r\nfile:///tmp/x\r\nhttp://h/b\r\n"), "http://h/b");

    const struct {
        DropFormats formats;
        std::optional<std::string> url;
        std::string document;
        bool captured = true;
    } cases[] = {
        // A dragged link carries its anchor as HTML too: the link wins.
        {{"http://h/a\r\n", "http://h/a", "<a href=\"http://h/a\">a</a>", {}}, "http://h/a", ""},
        {{{}, " ftp://h/f ", {}, {}}, "ftp://h/f", ""},
        {{{}, "words", "<p>x</p>", "http://h/page.html"}, "http://h/page.html", "<p>x</p>"},
        {{{}, {}, "<p>x</p>", {}}, std::nullopt, "<p>x</p>"},
        {{"file:///tmp/x", "words", {}, {}}, std::nullopt, "", false},
        {{{}, {}, "", "http://h/"}, std::nullopt, "", false}};
    for (const auto& c : cases) {
        const std::optional<DropCapture> capture = captureOfDrop(c.formats);
        ASSERT_EQ(capture.has_value(), c.captured) << c.document;
        if (capture) {
            EXPECT_EQ(capture->url, c.url) << c.document;
            EXPECT_EQ(capture->document, c.document);
        }
    }
    EXPECT_EQ(positionFromText(positionText({-20, 700})), (ScreenPoint{-20, 700}));
    for (const char* bad : {"", "12", "1,", ",2", "1,2,3", "x,2", "1, 2"}) {
        EXPECT_EQ(positionFromText(bad), std::nullopt) << bad;
    }
}

// The toggles after each sequence of clicks and drop-window reports.
class DropWindowControlsTest : public ::testing::Test {
protected:
    // Drop button and hint, drop item and caption, paste button and item, the two settings and
    // the window's visibility.
    void check(bool dropButton, const char* hint, const char* caption, bool paste, bool visible) {
        EXPECT_EQ(m_controls.dropButtonPressed(), dropButton);
        EXPECT_EQ(m_controls.dropButtonHint(), hint);
        EXPECT_EQ(m_controls.dropItemChecked(), dropButton);
        EXPECT_EQ(m_controls.dropItemCaption(), caption);
        EXPECT_EQ(m_controls.pasteButtonPressed(), paste);
        EXPECT_EQ(m_controls.pasteItemChecked(), paste);
        EXPECT_EQ(m_settings.ShowDropWindow, visible);
        EXPECT_EQ(m_settings.PasteLinksFromClipboard, paste);
        EXPECT_EQ(m_module.visible, visible);
    }

    test::FakeDropSource m_module;
    GlobalOptions m_settings;
    DropWindowControls m_controls{m_module, m_settings};
};

TEST_F(DropWindowControlsTest, StartUpFollowsTheSettingsAndMenusFlipTheWindow) {
    m_settings.ShowDropWindow = false;
    m_settings.PasteLinksFromClipboard = true;
    m_controls.startUp();
    // The hint stays what start-up left until a toggle.
    check(false, "Hide Drop Window", "&Show Drop Window", true, false);
    EXPECT_THAT(m_module.calls, ElementsAre("Hide", "Clip 1", "PasteMI 1"));
    m_controls.dropButtonClicked();
    check(true, "Hide Drop Window", "&Show Drop Window", true, true);

    m_module.visible = false;  // the window hid itself
    m_controls.hiddenFromMenu();
    check(false, "Show Drop Window", "Show Drop Window", true, false);
    m_controls.dropButtonClicked();
    check(true, "Hide Drop Window", "Show Drop Window", true, true);
    m_controls.dropItemClicked();
    check(false, "Show Drop Window", "Show Drop Window", true, false);
}

TEST_F(DropWindowControlsTest, WatchingIsFlippedOnEachToggle) {
    m_controls.startUp();
    m_module.calls.clear();
    for (int click = 0; click < 3; ++click) {
        m_controls.pasteButtonClicked();
    }
    check(true, "Hide Drop Window", "&Show Drop Window", true, true);
    EXPECT_THAT(m_module.calls,
                ElementsAre("PasteMI 1", "Clip 1", "PasteMI 0", "Clip 0", "PasteMI 1", "Clip 1"));

    // From the drop window's menu its own item has already changed: no PasteMI call.
    m_module.calls.clear();
    m_controls.clipboardToggledFromMenu();
    m_controls.pasteItemClicked();
    EXPECT_THAT(m_module.calls, ElementsAre("Clip 0", "PasteMI 1", "Clip 1"));

    m_module.calls.clear();
    m_controls.dialogItemsEnabled(false);
    m_controls.dialogItemsEnabled(false);
    m_controls.dialogItemsEnabled(true);
    EXPECT_THAT(m_module.calls, ElementsAre("DialogMI 0", "DialogMI 1"));
}

using Outcome = NotificationSlots::Outcome;

// The lowest empty slot first and the last one dropped; past five open boxes a repeat is counted
// into the newest box of its text, while a new text still opens a box.
TEST(NotificationSlotsTest, LowestEmptySlotFirstAndRepeatsPastFiveOpenBoxesCounted) {
    NotificationSlots slots;
    for (std::size_t slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(slots.show("n" + std::to_string(slot)).slot, slot);
    }
    EXPECT_TRUE(slots.free(1));
    EXPECT_FALSE(slots.free(1) || slots.free(NotificationSlots::kSlotCount));
    EXPECT_EQ(slots.show("other").slot, 1u);
    for (std::size_t shown = slots.openCount(); shown < NotificationSlots::kSlotCount; ++shown) {
        EXPECT_EQ(slots.show("text " + std::to_string(shown)).outcome, Outcome::Opened);
    }
    EXPECT_EQ(slots.show("one more").outcome, Outcome::Dropped);

    NotificationSlots repeats;
    for (int shown = 0; shown < 300; ++shown) {
        EXPECT_EQ(repeats.show("Network error").outcome,
                  shown <= 5 ? Outcome::Opened : Outcome::Counted);
    }
    EXPECT_EQ(repeats.show("Network error").text, "Network error (296 times)");
    EXPECT_EQ(repeats.show("Task a is finished.").outcome, Outcome::Opened);
    repeats.free(5);
    EXPECT_EQ(repeats.show("Network error").text, "Network error (2 times)");
    EXPECT_EQ(repeats.show("Network error").slot, 4u);
}

}  // namespace
}  // namespace quillharbor
