// The built quillharbor program and how it ends: a signal closes it with everything saved, a
// program directory that another process holds is left alone, and an exception that reaches
// Qt's event loop halts the engine's work, tells the user in a box owned by the main window and
// ends the process with status 1.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "cli/cli_fixture.h"
#include "platform/program_directory_lock.h"
#include "platform/temp_directory.h"
#include "ui/qt/desktop_application.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

// Whether the process has a handler for the signal: the program is up to its loop.
bool catches(pid_t pid, int signal) {
    const std::string status = contentsOf("/proc/" + std::to_string(pid) + "/status");
    const std::size_t mask = status.find("SigCgt:");
    return mask != std::string::npos &&
           (std::stoull(status.substr(mask + 7), nullptr, 16) >> (signal - 1) & 1) != 0;
}

// UseRasCtrl stays on only when the program found its dial-up module (beside its own file).
TEST(DesktopProgramTest, SignalClosesWithEverythingSavedAndTheDialUpModuleIsFound) {
    TempDirectory home;
    std::ofstream(home / "Quillharbor.ini") << "[General]\r\nUseRasCtrl=1\r\n";
    std::ofstream(home / "pppd") << "a stand-in PPP daemon\n";
    ::setenv("QUILLHARBOR_PPPD", (home / "pppd").c_str(), 1);
    ProgramRun program(home.path(), {"--home", home.path()});
    ::unsetenv("QUILLHARBOR_PPPD");
    pid_t pid = 0;
    for (int attempt = 0; attempt < 500 && (pid == 0 || !catches(pid, SIGTERM)); ++attempt) {
        pid = std::atoi(contentsOf(home / "Quillharbor.lock").c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(pid != 0 && catches(pid, SIGTERM)) << program.errors();
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(std::chrono::seconds(30)), 0) << program.errors();
    EXPECT_THAT(contentsOf(home / "Quillharbor.ini"), HasSubstr("UseRasCtrl=1\r\nNameAuto="));
}

TEST(DesktopProgramTest, DirectoryInUseIsLeftUntouched) {
    TempDirectory home;
    Result<ProgramDirectoryLock> held = ProgramDirectoryLock::acquire(home.path());
    ASSERT_TRUE(held.ok());
    ProgramRun program(home.path(), {"--home", home.path()});
    EXPECT_EQ(program.wait(std::chrono::seconds(30)), 2);
    EXPECT_THAT(program.errors(), HasSubstr("is in use by process " + std::to_string(::getpid())));
    EXPECT_FALSE(fs::exists(home / "Quillharbor.ini"));
}

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
    auto* app = static_cast<DesktopApplication*>(QCoreApplication::instance());
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
