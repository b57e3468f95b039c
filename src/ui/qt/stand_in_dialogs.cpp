#include "ui/qt/stand_in_dialogs.h"

#include <QMessageBox>

namespace quillharbor {

namespace {

const QString kCaption = QStringLiteral("Quillharbor");

}  // namespace

void StandInDialogs::setOwner(QWidget* owner, std::function<void()> onExitConfirmed,
                              std::function<void()> onRemoveConfirmed) {
    m_owner = owner;
    m_onExitConfirmed = std::move(onExitConfirmed);
    m_onRemoveConfirmed = std::move(onRemoveConfirmed);
}

QMessageBox* StandInDialogs::newBox(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, kCaption, text, QMessageBox::Ok, m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    std::erase_if(m_boxes, [](const QPointer<QMessageBox>& each) { return each.isNull(); });
    m_boxes.emplace_back(box);
    return box;
}

void StandInDialogs::showConfirmExit() {
    QMessageBox* box = newBox(
        QStringLiteral("Some tasks are running, waiting or have links to rewrite. Exit anyway?"));
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    connect(box, &QMessageBox::accepted, this, [this] { m_onExitConfirmed(); });
    box->show();
}

void StandInDialogs::showConfirmRemove() {
    QMessageBox* box = newBox(QStringLiteral("Remove the selected task records?"));
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    connect(box, &QMessageBox::accepted, this, [this] { m_onRemoveConfirmed(); });
    box->show();
}

void StandInDialogs::showAbout() {
    newBox(
        QStringLiteral("Quillharbor " QUILLHARBOR_VERSION "\nA download manager and site grabber."))
        ->show();
}

void StandInDialogs::showNotification(const std::string& text) {
    newBox(QString::fromStdString(text))->show();
}

void StandInDialogs::closeAll() {
    for (const QPointer<QMessageBox>& box : m_boxes) {
        if (!box.isNull()) {
            box->close();
        }
    }
    m_boxes.clear();
}

std::vector<QMessageBox*> StandInDialogs::openBoxes() const {
    std::vector<QMessageBox*> open;
    for (const QPointer<QMessageBox>& box : m_boxes) {
        if (!box.isNull() && box->isVisible()) {
            open.push_back(box.data());
        }
    }
    return open;
}

}  // namespace quillharbor
