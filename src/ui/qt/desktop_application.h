#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace quillharbor {

// The application object. An exception that reaches Qt's event loop ends the program: the
// engine's work stops, a box owned by the main window says "An internal error has occured.
// Application will be terminated", and the process ends with status 1 without saving anything.
class DesktopApplication final : public QApplication {
    Q_OBJECT
public:
    DesktopApplication(int& argc, char** argv);
    // The box's owner, and what stops the engine's work before the box is shown.
    void setHalt(QWidget* owner, std::function<void()> halt);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    [[noreturn]] void unexpectedError();

    QPointer<QWidget> m_owner;
    std::function<void()> m_halt;
    bool m_ending = false;
};

}  // namespace quillharbor
