#pragma once

#include <QApplication>
#include <functional>

namespace quillharbor {

// The application object. An exception that reaches Qt's event loop ends the program: the
// engine's work stops, the user is told "An internal error has occured. Application will be
// terminated", and the process ends with status 1 without saving anything.
class DesktopApplication final : public QApplication {
    Q_OBJECT
public:
    DesktopApplication(int& argc, char** argv);
    // Stops the engine's work before the box is shown.
    void setHalt(std::function<void()> halt) { m_halt = std::move(halt); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    [[noreturn]] void unexpectedError();

    std::function<void()> m_halt;
};

}  // namespace quillharbor
