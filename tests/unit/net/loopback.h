#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace quillharbor::test {

// A plain listening socket on 127.0.0.1 with a port of the system's choosing, played by the test
// as the peer of a socket under test.
class RawListener {
public:
    RawListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~RawListener() { ::close(m_fd); }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string portText() const { return std::to_string(m_port); }

    // The next connection, waiting at most two seconds; -1 when none came.
    int accept() {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 2000) != 1)
            return -1;
        return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

// A port nobody listens on: bound once and closed again.
inline std::string closedPort() {
    RawListener listener;
    return listener.portText();
}

inline void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

// What can be read now, without waiting.
inline std::string readAvailable(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0)
            return out;
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

// Exactly `count` bytes, waiting at most two seconds for each piece.
inline std::string readExactly(int fd, std::size_t count) {
    std::string out;
    while (out.size() < count) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 2000) != 1)
            break;
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, std::min(sizeof buffer, count - out.size()), 0);
        if (got <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

}  // namespace quillharbor::test
