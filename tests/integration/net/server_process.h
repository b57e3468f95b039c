#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quillharbor::test {

inline std::string serverScript(const std::string& name) {
    return std::string(QUILLHARBOR_SOURCE_DIR) + "/tests/integration/servers/" + name;
}

// Writes the generated test site of `pages` pages below root (site_generator.py); true when it
// was written.
inline bool generateSite(const std::string& root, int pages) {
    const std::string command = "/usr/bin/python3 '" + serverScript("site_generator.py") + "' '" +
                                root + "' " + std::to_string(pages);
    return std::system(command.c_str()) == 0;
}

// Polls done every 10 ms until it holds, for at most limit; whether it held. done is not asked
// again once it has held.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// With port 0, a loopback port nobody uses right now; else port when a connect to it on the
// loopback address of the family succeeds, 0 otherwise.
inline std::uint16_t loopbackPort(std::uint16_t port, bool ipv6 = false) {
    sockaddr_in6 v6{AF_INET6, htons(port), 0, in6addr_loopback, 0};
    sockaddr_in v4{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    auto* address = ipv6 ? reinterpret_cast<sockaddr*>(&v6) : reinterpret_cast<sockaddr*>(&v4);
    socklen_t length = ipv6 ? sizeof v6 : sizeof v4;
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool found =
        port == 0 ? ::bind(fd, address, length) == 0 && ::getsockname(fd, address, &length) == 0
                  : ::connect(fd, address, length) == 0;
    ::close(fd);
    return found ? ntohs(ipv6 ? v6.sin6_port : v4.sin_port) : 0;
}

inline std::uint16_t freePort() {
    return loopbackPort(0);
}

// Starts argv with standard input from /dev/null and its outputs into the files out and err
// (which may be one); its pid, -1 when it could not start.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& out,
                   const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (const auto& [fd, path] : {std::pair{STDOUT_FILENO, &out}, std::pair{STDERR_FILENO, &err}})
        posix_spawn_file_actions_addopen(&actions, fd, path->c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const bool failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0;
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// A server started for the tests and stopped with them. Its output goes to a log file.
class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { stop(); }

    // Starts the program and waits (at most ten seconds) until `port` on 127.0.0.1 (or on the
    // IPv6 loopback ::1) accepts.
    bool start(const std::vector<std::string>& argv, std::uint16_t port, const std::string& log,
               bool ipv6 = false) {
        m_pid = spawn(argv, log, log);
        for (int attempt = 0; m_pid > 0 && attempt < 200; ++attempt) {
            if (loopbackPort(port, ipv6) != 0)
                return true;
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                m_pid = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        stop();
        return false;
    }
    // SIGTERM, and SIGKILL when it has not ended after two seconds.
    void stop() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        for (int attempt = 0; attempt < 100 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::kill(m_pid, SIGKILL) == 0)
            ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

}  // namespace quillharbor::test
