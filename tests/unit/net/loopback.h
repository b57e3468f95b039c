#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "net/socket_exception.h"

namespace quillharbor::test {

inline void writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
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
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        out.append(buffer, static_cast<std::size_t>(got));
    return out;
}

inline bool readable(int fd, int milliseconds) {
    pollfd ready{fd, POLLIN, 0};
    return ::poll(&ready, 1, milliseconds) == 1;
}

// The text of the socket exception `call` raised.
inline std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "nothing raised";
}

// A plain listening socket on 127.0.0.1 with a port of the system's choosing, played by the test
// as the peer of a socket under test.
class RawListener {
public:
    RawListener() {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
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
        return readable(m_fd, 2000) ? ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::uint16_t m_port = 0;
};

// The test's end of one connection, closed with it; reads wait at most two seconds per piece.
class Peer {
public:
    explicit Peer(int fd) : fd(fd) {}
    ~Peer() { ::close(fd); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    void send(const std::string& bytes) const { writeAll(fd, bytes); }
    // What comes before the next `end`, which is taken too; empty when the connection ends first.
    std::string until(std::string_view end) {
        std::size_t at;
        while ((at = m_buffer.find(end)) == std::string::npos) {
            char bytes[4096];
            const ssize_t got = readable(fd, 2000) ? ::recv(fd, bytes, sizeof bytes, 0) : 0;
            if (got <= 0)
                return {};
            m_buffer.append(bytes, static_cast<std::size_t>(got));
        }
        std::string out = m_buffer.substr(0, at);
        m_buffer.erase(0, at + end.size());
        return out;
    }

    const int fd;

private:
    std::string m_buffer;
};

// Accepts one connection on a thread of its own and plays the script on it.
class ScriptedServer {
public:
    explicit ScriptedServer(std::function<void(Peer&)> script)
        : m_thread([this, script = std::move(script)] {
              Peer peer(m_listener.accept());
              if (peer.fd >= 0)
                  script(peer);
          }) {}
    ~ScriptedServer() { join(); }

    std::string port() const { return m_listener.portText(); }
    void join() {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    RawListener m_listener;
    std::thread m_thread;  // last: starts when the rest is ready
};

}  // namespace quillharbor::test
