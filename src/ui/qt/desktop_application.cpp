#include "ui/qt/desktop_application.h"

#include <QMessageBox>
#include <cstdlib>

namespace quillharbor {

DesktopApplication::DesktopApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void DesktopApplication::setHalt(QWidget* owner, std::function<void()> halt) {
    m_owner = owner;
    m_halt = std::move(halt);
}

bool DesktopApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        unexpectedError();
    }
}

void DesktopApplication::unexpectedError() {
    // A second error while the box is up ends the program at once.
    if (m_ending) {
        std::_Exit(1);
    }
    m_ending = true;
    if (m_halt) {
        m_halt();
    }
    QMessageBox::critical(m_owner, QStringLiteral("Quillharbor"),
                          QStringLiteral("An internal error has occured. Application will be "
                                         "terminated"));
    // Nothing is saved: the files keep the last state that was written whole.
    std::_Exit(1);
}

}  // namespace quillharbor
