#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "net/server_process.h"

namespace quillharbor::test {

namespace fs = std::filesystem;

// A run of a built program (QUILLHARBOR_PROGRAM) with its standard output and error in files;
// with columns, on a terminal that wide (script(1)), whose screen is the output.
class ProgramRun {
public:
    ProgramRun(const fs::path& work, std::vector<std::string> arguments, int columns = 0) {
        static int runs = 0;
        const std::string stem = (work / ("run" + std::to_string(++runs))).string();
        m_outPath = stem + ".out";
        m_errPath = stem + ".err";
        arguments.insert(arguments.begin(), QUILLHARBOR_PROGRAM);
        if (columns > 0) {
            std::string command = "stty cols " + std::to_string(columns) + " && exec";
            for (const std::string& argument : arguments) command += " '" + argument + "'";
            arguments = {"script", "-qec", command, "/dev/null"};
        }
        m_pid = spawn(arguments, m_outPath, m_errPath);
    }
    ~ProgramRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // The exit status (128 + the signal that ended it), or -1 when the program did not end
    // within the limit (it is killed when the run is destroyed).
    int wait(std::chrono::seconds limit = std::chrono::seconds(120)) {
        int status = 0;
        if (m_pid > 0 &&
            eventually([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, limit)) {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return m_pid > 0 ? -1 : m_status;
    }
    // Waits (a minute at most) until standard output holds text.
    bool waitForOutput(const std::string& text) {
        return eventually([&] { return output().find(text) != std::string::npos; },
                          std::chrono::minutes(1));
    }
    void signal(int number) {
        if (m_pid > 0) {
            ::kill(m_pid, number);
        }
    }
    std::string output() const { return contentsOf(m_outPath); }
    std::string errors() const { return contentsOf(m_errPath); }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_outPath;
    std::string m_errPath;
};

}  // namespace quillharbor::test
