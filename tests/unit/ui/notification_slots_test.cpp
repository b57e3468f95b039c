#include "ui/notification_slots.h"

#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

using Outcome = NotificationSlots::Outcome;

TEST(NotificationSlotsTest, LowestEmptySlotFirstAndTheLastOneDropped) {
    NotificationSlots slots;
    for (std::size_t slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(slots.show("n").slot, slot);
    }
    EXPECT_TRUE(slots.free(1));
    EXPECT_FALSE(slots.free(1));
    EXPECT_FALSE(slots.free(NotificationSlots::kSlotCount));
    EXPECT_EQ(slots.show("other").slot, 1u);

    for (std::size_t shown = slots.openCount(); shown < NotificationSlots::kSlotCount; ++shown) {
        EXPECT_EQ(slots.show("text " + std::to_string(shown)).outcome, Outcome::Opened);
    }
    EXPECT_EQ(slots.show("one more").outcome, Outcome::Dropped);
    EXPECT_EQ(slots.openCount(), NotificationSlots::kSlotCount);
}

TEST(NotificationSlotsTest, RepeatsPastFiveOpenBoxesAreCounted) {
    NotificationSlots slots;
    for (int shown = 0; shown < 300; ++shown) {
        slots.show("Network error");
    }
    EXPECT_EQ(slots.openCount(), NotificationSlots::kOpenBeforeCounting + 1);
    const NotificationSlots::Shown counted = slots.show("Network error");
    EXPECT_EQ(counted.outcome, Outcome::Counted);
    EXPECT_EQ(counted.slot, 5u);
    EXPECT_EQ(counted.text, "Network error (296 times)");

    // A new text still opens a box; a repeat goes into the newest box of its text.
    EXPECT_EQ(slots.show("Task a is finished.").outcome, Outcome::Opened);
    slots.free(5);
    EXPECT_EQ(slots.show("Network error").text, "Network error (2 times)");
    EXPECT_EQ(slots.show("Network error").slot, 4u);

    // Up to five open boxes a repeat opens a box of its own.
    NotificationSlots few;
    for (int shown = 0; shown < 6; ++shown) {
        EXPECT_EQ(few.show("same").outcome, Outcome::Opened);
    }
}

}  // namespace
}  // namespace quillharbor
