// An exception that reaches Qt's event loop ends the program: the engine's work is halted
// first, then a box owned by the main window tells the user, then the process ends with status 1.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <iostream>
#include <stdexcept>

#include "ui/qt/desktop_application.h"

namespace quillharbor::test {
namespace {

// Run from the box's own loop: reports the box it finds and presses its OK.
void answerBox(const QWidget* owner) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            std::cerr << "box '" << box->windowTitle().toStdString() << "' "
                      << box->text().toStdString() << " icon " << box->icon() << " owned "
                      << (box->parentWidget() == owner) << "\n";
            box->button(QMessageBox::Ok)->click();
            return;
        }
    }
    QTimer::singleShot(20, [owner] { answerBox(owner); });
}

TEST(UnexpectedErrorTest, ExceptionInTheLoopHaltsTellsAndEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto* app = qobject_cast<DesktopApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    EXPECT_EXIT(
        {
            QWidget owner;
            app->setHalt(&owner, [] { std::cerr << "halted\n"; });
            QTimer::singleShot(0, [] { throw std::runtime_error("unexpected"); });
            QTimer::singleShot(20, [&owner] { answerBox(&owner); });
            QApplication::exec();
        },
        ::testing::ExitedWithCode(1),
        "halted\n(.|\n)*box 'Quillharbor' An internal error has occured\\. Application will be "
        "terminated icon 3 owned 1");
}

}  // namespace
}  // namespace quillharbor::test
