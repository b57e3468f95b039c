#include "ui/qt/desktop_application.h"

#include <QMessageBox>
#include <cstdlib>

namespace quillharbor {

DesktopApplication::DesktopApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool DesktopApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        unexpectedError();
    }
}

void DesktopApplication::unexpectedError() {
    if (m_halt) {
        m_halt();
    }
    QMessageBox::critical(activeWindow(), QStringLiteral("Quillharbor"),
                          QStringLiteral("An internal error has occured. Application will be "
                                         "terminated"));
    // Nothing is saved: the files keep the last state that was written whole.
    std::_Exit(1);
}

}  // namespace quillharbor
