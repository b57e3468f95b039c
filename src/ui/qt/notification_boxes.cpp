#include "ui/qt/notification_boxes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kPictureSize = 48;
constexpr int kTextWidth = 260;

}  // namespace

NotificationBox::NotificationBox(std::size_t slot, const QString& text, ReportTarget reports)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Quillharbor"));
    setModal(false);
    auto* picture = new QLabel;
    picture->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(kPictureSize));
    picture->setAlignment(Qt::AlignTop);
    m_label = new QLabel(text);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setMinimumWidth(kTextWidth);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(m_label, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(this, &QDialog::finished, this,
            [reports, slot] { reports.post(EngineMessage::NotificationClosed, slot); });
}

QString NotificationBox::text() const {
    return m_label->text();
}

void NotificationBox::setText(const QString& text) {
    m_label->setText(text);
}

void NotificationBoxes::ShowNotification(const std::string& text) {
    const NotificationSlots::Shown shown = m_slots.show(text);
    switch (shown.outcome) {
        case NotificationSlots::Outcome::Opened: {
            auto* box =
                new NotificationBox(shown.slot, QString::fromStdString(shown.text), m_reports);
            m_boxes[shown.slot] = box;
            box->show();
            QApplication::beep();
            break;
        }
        case NotificationSlots::Outcome::Counted:
            if (NotificationBox* box = m_boxes[shown.slot]) {
                box->setText(QString::fromStdString(shown.text));
            }
            break;
        case NotificationSlots::Outcome::Dropped:
            break;
    }
}

void NotificationBoxes::FreeNotification(std::size_t slot) {
    if (!m_slots.free(slot)) {
        return;
    }
    // Later: the box may be inside its own close when the report arrives from a nested loop.
    if (NotificationBox* box = m_boxes[slot]) {
        box->hide();
        box->deleteLater();
    }
    m_boxes[slot] = nullptr;
}

void NotificationBoxes::FreeAllNotifications() {
    for (std::size_t slot = 0; slot < NotificationSlots::kSlotCount; ++slot) {
        if (m_slots.inUse(slot)) {
            // Freed now, not at the next turn: the loop may not turn again before the program ends.
            m_slots.free(slot);
            delete m_boxes[slot].data();
            m_boxes[slot] = nullptr;
        }
    }
}

NotificationBox* NotificationBoxes::box(std::size_t slot) const {
    return slot < m_boxes.size() ? m_boxes[slot].data() : nullptr;
}

}  // namespace quillharbor
