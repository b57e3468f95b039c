#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quillharbor {

// The table of open notification boxes: 256 slots, the lowest empty one taken first, a
// notification with no empty slot dropped. A failing site must not bury the screen: while more
// than five boxes are open, a notification whose text an open box already shows is counted into
// the newest such box ("... (3 times)") instead of opening another.
class NotificationSlots {
public:
    static constexpr std::size_t kSlotCount = 256;
    static constexpr std::size_t kOpenBeforeCounting = 5;

    enum class Outcome {
        Opened,   // a new box in slot
        Counted,  // the box of slot shows text now
        Dropped,  // every slot is in use
    };
    struct Shown {
        Outcome outcome;
        std::size_t slot;
        std::string text;  // what the slot's box shows
    };

    Shown show(const std::string& text);
    // Empties a slot (its box closed); returns false when it was empty or out of range.
    bool free(std::size_t slot);
    std::size_t openCount() const { return m_open; }
    bool inUse(std::size_t slot) const { return slot < kSlotCount && m_slots[slot].has_value(); }

private:
    struct Box {
        std::string text;
        std::size_t count;
        std::uint64_t opened;  // order of opening, to find the newest box of a text
    };
    static std::string shownText(const Box& box);

    std::array<std::optional<Box>, kSlotCount> m_slots;
    std::size_t m_open = 0;
    std::uint64_t m_openings = 0;
};

}  // namespace quillharbor
