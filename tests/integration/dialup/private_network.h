#pragma once

// The dial-up tests run in a network namespace of their own, entered by main() before any
// thread starts, where they add and remove dummy links named ppp0 and serve HTTP on loopback.
// The PPP daemon is a stand-in script in a private folder, named by the environment the dial-up
// module reads.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quillharbor::test {

struct PrivateNetwork {
    // Empty when the namespace is ours; else why the tests that need it are skipped.
    std::string unavailable;
    std::string folder;  // the stand-in daemon, its pid files and what it records

    static PrivateNetwork& instance() {
        static PrivateNetwork network;
        return network;
    }
    std::string daemonPath() const { return folder + "/pppd"; }
    std::string runDirectory() const { return folder + "/run"; }
    std::string signalsPath() const { return folder + "/signals"; }
};

// Starts a program; quiet sends its output to /dev/null (a child it leaves behind then keeps
// no pipe of ctest's open). Returns its pid, or -1.
inline pid_t spawn(const std::vector<std::string>& argv, bool quiet) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// Runs a program to its end; returns whether it exited with 0.
inline bool run(const std::vector<std::string>& argv, bool quiet = false) {
    const pid_t pid = spawn(argv, quiet);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

inline bool ip(const std::vector<std::string>& args, bool quiet = false) {
    std::vector<std::string> argv{"ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv, quiet);
}

// A stand-in for pppd holding link ppp0: it writes its pid file, and on SIGTERM records the
// signal and ends the link as the daemon does.
class StandInDaemon {
public:
    StandInDaemon() {
        const PrivateNetwork& network = PrivateNetwork::instance();
        std::ofstream(network.daemonPath()) << "#!/bin/sh\n"
                                               "trap 'echo TERM >> \""
                                            << network.signalsPath()
                                            << "\"; ip link del ppp0; "
                                               "kill $! 2>/dev/null; exit 0' TERM\n"
                                               "echo $$ > \""
                                            << network.runDirectory()
                                            << "/ppp0.pid\"\n"
                                               "while :; do sleep 5 & wait $!; done\n";
        std::filesystem::permissions(network.daemonPath(), std::filesystem::perms::owner_all);
        std::filesystem::create_directories(network.runDirectory());
    }
    ~StandInDaemon() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        std::filesystem::remove(PrivateNetwork::instance().daemonPath());
    }
    StandInDaemon(const StandInDaemon&) = delete;
    StandInDaemon& operator=(const StandInDaemon&) = delete;

    // Starts it; returns once its pid file is written (at most about five seconds).
    bool start() {
        m_pid = spawn({PrivateNetwork::instance().daemonPath()}, true);
        if (m_pid <= 0) {
            return false;
        }
        const std::string pidFile = PrivateNetwork::instance().runDirectory() + "/ppp0.pid";
        for (int attempt = 0; attempt < 500; ++attempt) {
            std::ifstream in(pidFile);
            std::string pid;
            if (std::getline(in, pid) && pid == std::to_string(m_pid)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // The signals it recorded, one word a line; waits (at most about five seconds) for one.
    std::string recorded() const {
        const std::string path = PrivateNetwork::instance().signalsPath();
        for (int attempt = 0; attempt < 500 && !std::filesystem::exists(path); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    pid_t m_pid = -1;
};

}  // namespace quillharbor::test
