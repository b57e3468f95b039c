// The drop window's captures and toggles, and the slots of the notification boxes.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/engine_fakes.h"
#include "ui/drop_capture.h"
#include "ui/drop_window_controls.h"
#include "ui/notification_slots.h"

namespace quillharbor {
namespace {

TEST(DropCaptureTest, KeysTextsDragsAndPositions) {
    // Ctrl, Shift and Alt as the bits 1, 2 and 4 of the index; the combinations not listed give
    // no action.
    const std::optional<int> actions[] = {0, 1, 2, 4, 3, std::nullopt, std::nullopt, std::nullopt};
    for (int keys = 0; keys < 8; ++keys) {
        EXPECT_EQ(dropActionFor(keys & 1, keys & 2, keys & 4), actions[keys]) << keys;
    }
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

// The toggles after each click or drop-window report, from a start-up that hides the window and
// watches the clipboard. The hint stays what start-up left until a toggle; the drop window's own
// menu has already changed its item, so its toggle makes no PasteMI call.
TEST(DropWindowControlsTest, EachToggleFlipsItsSettingAndTellsTheWindow) {
    test::FakeDropSource window;
    GlobalOptions settings;
    settings.ShowDropWindow = false;
    settings.PasteLinksFromClipboard = true;
    DropWindowControls controls{window, settings};
    // The drop button's hint and the drop item's caption less " Drop Window"; the drop button
    // and item, the paste button and item, the two settings and the window's visibility; the
    // window's calls of the step.
    const auto state = [&] {
        std::string shown = controls.dropButtonHint() + "/" + controls.dropItemCaption() + " ";
        for (bool flag :
             {controls.dropButtonPressed(), controls.dropItemChecked(),
              controls.pasteButtonPressed(), controls.pasteItemChecked(), settings.ShowDropWindow,
              settings.PasteLinksFromClipboard, window.visible}) {
            shown += flag ? '1' : '0';
        }
        shown += " ";
        for (std::size_t at; (at = shown.find(" Drop Window")) != std::string::npos;) {
            shown.erase(at, 12);
        }
        for (const std::string& call : window.calls) shown += call + ",";
        window.calls.clear();
        return shown;
    };
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { controls.startUp(); }, "Hide/&Show 0011010 Hide,Clip 1,PasteMI 1,"},
        {[&] { controls.dropButtonClicked(); }, "Hide/&Show 1111111 Show,"},
        {[&] {
             window.visible = false;  // the window hid itself
             controls.hiddenFromMenu();
         },
         "Show/Show 0011010 "},
        {[&] { controls.dropButtonClicked(); }, "Hide/Show 1111111 Show,"},
        {[&] { controls.dropItemClicked(); }, "Show/Show 0011010 Hide,"},
        {[&] { controls.pasteButtonClicked(); }, "Show/Show 0000000 PasteMI 0,Clip 0,"},
        {[&] { controls.pasteButtonClicked(); }, "Show/Show 0011010 PasteMI 1,Clip 1,"},
        {[&] { controls.clipboardToggledFromMenu(); }, "Show/Show 0000000 Clip 0,"},
        {[&] { controls.pasteItemClicked(); }, "Show/Show 0011010 PasteMI 1,Clip 1,"},
        {[&] { controls.dialogItemsEnabled(false); }, "Show/Show 0011010 DialogMI 0,"},
        {[&] { controls.dialogItemsEnabled(false); }, "Show/Show 0011010 "},
        {[&] { controls.dialogItemsEnabled(true); }, "Show/Show 0011010 DialogMI 1,"}};
    for (std::size_t step = 0; step < std::size(steps); ++step) {
        steps[step].first();
        EXPECT_EQ(state(), steps[step].second) << "step " << step;
    }
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
