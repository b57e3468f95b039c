// The built quillharbor program: a signal closes it with everything saved, and a program
// directory that another process holds is left alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "cli/cli_fixture.h"
#include "platform/program_directory_lock.h"
#include "platform/temp_directory.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

// Whether the process has a handler for the signal: the program is up to its loop.
bool catches(pid_t pid, int signal) {
    std::istringstream status(readText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
        }
    }
    return false;
}

// Runs the program on home until it is up to its loop, then closes it with SIGTERM.
void runAndSignal(const TempDirectory& home) {
    ProgramRun program(home.path(), {"--home", home.path()});
    pid_t pid = 0;
    for (int attempt = 0; attempt < 500 && (pid == 0 || !catches(pid, SIGTERM)); ++attempt) {
        pid = std::atoi(readText(home / "Quillharbor.lock").c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(pid != 0 && catches(pid, SIGTERM)) << program.errors();
    EXPECT_FALSE(ProgramDirectoryLock::acquire(home.path()).ok());
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(std::chrono::seconds(30)), 0) << program.errors();
}

TEST(DesktopProgramTest, SignalClosesWithEverythingSaved) {
    TempDirectory home;
    runAndSignal(home);
    EXPECT_TRUE(fs::exists(home / "Quillharbor.ini"));
}

// UseRasCtrl stays on only when the program found its dial-up module (beside its own file).
TEST(DesktopProgramTest, DialUpModuleIsFound) {
    TempDirectory home;
    std::ofstream(home / "Quillharbor.ini") << "[General]\r\nUseRasCtrl=1\r\n";
    std::ofstream(home / "pppd") << "a stand-in PPP daemon\n";
    ::setenv("QUILLHARBOR_PPPD", (home / "pppd").c_str(), 1);
    runAndSignal(home);
    ::unsetenv("QUILLHARBOR_PPPD");
    EXPECT_THAT(readText(home / "Quillharbor.ini"), HasSubstr("UseRasCtrl=1"));
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

}  // namespace
}  // namespace quillharbor::test
