#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <cstddef>
#include <string>

#include "ui/notification_slots.h"
#include "ui/window_message.h"

class QLabel;

namespace quillharbor {

// One notification: the text, an information picture and OK. Closing it by any means posts
// NotificationClosed with its slot; it is destroyed only when the slot is freed.
class NotificationBox final : public QDialog {
    Q_OBJECT
public:
    NotificationBox(std::size_t slot, const QString& text, ReportTarget reports);
    QString text() const;
    void setText(const QString& text);

private:
    QLabel* m_label;
};

// The notification boxes of the program, at most one per slot of NotificationSlots. None has an
// owner: they stay while the window is minimised. Main thread only.
class NotificationBoxes {
public:
    explicit NotificationBoxes(ReportTarget reports) : m_reports(reports) {}
    ~NotificationBoxes() { FreeAllNotifications(); }
    NotificationBoxes(const NotificationBoxes&) = delete;
    NotificationBoxes& operator=(const NotificationBoxes&) = delete;

    // Opens a box and beeps, counts the text into an open box, or drops it (all slots in use).
    void ShowNotification(const std::string& text);
    // Destroys the slot's box and empties the slot; an empty slot is left alone.
    void FreeNotification(std::size_t slot);
    void FreeAllNotifications();

    // The open boxes, for tests.
    std::size_t openCount() const { return m_slots.openCount(); }
    NotificationBox* box(std::size_t slot) const;

private:
    ReportTarget m_reports;
    NotificationSlots m_slots;
    std::array<QPointer<NotificationBox>, NotificationSlots::kSlotCount> m_boxes;
};

}  // namespace quillharbor
