#pragma once

// Tests that need a host name of their own (one that resolves to chosen addresses) run again in a
// private mount namespace whose /etc/hosts is theirs: `unshare -m`, then a bind mount over
// /etc/hosts. Nothing outside the test's own process sees the file.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillharbor::test {

inline constexpr const char* PrivateHostsVariable = "QUILLHARBOR_PRIVATE_HOSTS";

// Whether this process is the run inside the private namespace.
inline bool insidePrivateHosts() {
    return std::getenv(PrivateHostsVariable) != nullptr;
}

// Runs the current test again in a private mount namespace whose /etc/hosts holds `hosts`, and
// returns that run's exit status; -1 when such a namespace cannot be made here.
inline int rerunWithPrivateHosts(const std::string& hosts) {
    if (std::system("unshare -m true >/dev/null 2>&1") != 0) {
        return -1;
    }
    const std::string file =
        (std::filesystem::temp_directory_path() / ("qh-hosts-" + std::to_string(::getpid())))
            .string();
    std::ofstream(file) << hosts;
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = std::string(PrivateHostsVariable) + "=1 unshare -m sh -c " +
                                "'mount --bind \"$0\" /etc/hosts && exec \"$@\"' '" + file + "' '" +
                                program + "' --gtest_filter=" + test.test_suite_name() + "." +
                                test.name();
    const int status = std::system(command.c_str());
    std::filesystem::remove(file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// A listener on [::1]:port whose queue is full: connects to it neither succeed nor fail, as to
// an address whose packets are dropped, and nothing leaves the loopback.
class SilentIPv6Port {
public:
    explicit SilentIPv6Port(std::uint16_t port) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        address.sin6_addr = in6addr_loopback;
        m_listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_filler = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto* name = reinterpret_cast<const sockaddr*>(&address);
        m_ok = ::bind(m_listener, name, sizeof address) == 0 && ::listen(m_listener, 0) == 0 &&
               ::connect(m_filler, name, sizeof address) == 0;
    }
    ~SilentIPv6Port() {
        ::close(m_filler);
        ::close(m_listener);
    }
    SilentIPv6Port(const SilentIPv6Port&) = delete;
    SilentIPv6Port& operator=(const SilentIPv6Port&) = delete;
    bool ok() const { return m_ok; }

private:
    int m_listener = -1;
    int m_filler = -1;
    bool m_ok = false;
};

}  // namespace quillharbor::test
