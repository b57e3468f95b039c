#include "ui/notification_slots.h"

namespace quillharbor {

std::string NotificationSlots::shownText(const Box& box) {
    return box.count == 1 ? box.text : box.text + " (" + std::to_string(box.count) + " times)";
}

NotificationSlots::Shown NotificationSlots::show(const std::string& text) {
    if (m_open > kOpenBeforeCounting) {
        std::optional<std::size_t> newest;
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            if (m_slots[slot] && m_slots[slot]->text == text &&
                (!newest || m_slots[slot]->opened > m_slots[*newest]->opened)) {
                newest = slot;
            }
        }
        if (newest) {
            Box& box = *m_slots[*newest];
            ++box.count;
            return {Outcome::Counted, *newest, shownText(box)};
        }
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (!m_slots[slot]) {
            m_slots[slot] = Box{text, 1, ++m_openings};
            ++m_open;
            return {Outcome::Opened, slot, text};
        }
    }
    return {Outcome::Dropped, kSlotCount, text};
}

bool NotificationSlots::free(std::size_t slot) {
    if (!inUse(slot)) {
        return false;
    }
    m_slots[slot].reset();
    --m_open;
    return true;
}

}  // namespace quillharbor
