#include "platform/socket_watch.h"

#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/socket_events.h"

namespace quillharbor {

namespace {

constexpr unsigned kRearmable = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT;

}  // namespace

SocketWatch::SocketWatch(int fd, Handle target, unsigned number, unsigned kinds, SocketRole role)
    : m_fd(fd),
      m_target(target),
      m_number(number),
      m_wanted(kinds & FD_ALL_EVENTS),
      m_armed(m_wanted) {
    if (role == SocketRole::Unknown) {
        role = askRole();
    }
    if (m_error != 0) {
        m_armed = 0;
        return;
    }
    m_stream = role != SocketRole::NotStream;
    m_listening = role == SocketRole::Listening;
    m_connecting = role == SocketRole::Connecting;
}

SocketRole SocketWatch::askRole() {
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(m_fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) {
        m_error = errno;
        return SocketRole::Unknown;
    }
    if (type != SOCK_STREAM) {
        return SocketRole::NotStream;
    }
    int accepting = 0;
    length = sizeof accepting;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &length) == 0 && accepting != 0) {
        return SocketRole::Listening;
    }
    // A connected socket (accepted, or a socketpair end) has nothing left to report as
    // FD_CONNECT; an unconnected stream socket is taken to be about to connect.
    return hasPeer() ? SocketRole::Connected : SocketRole::Connecting;
}

std::vector<std::intptr_t> SocketWatch::onReadiness(std::uint32_t epollEvents) {
    std::vector<std::intptr_t> replies;
    if (m_connecting) {
        if ((epollEvents & (EPOLLOUT | EPOLLERR | EPOLLHUP)) == 0) {
            return replies;
        }
        const int error = takeSocketErrorIf(epollEvents);
        // A fresh socket hangs up until connect() is called on it: that is no result yet.
        if (error == 0 && (epollEvents & EPOLLHUP) != 0 && !hasPeer()) {
            return replies;
        }
        m_connecting = false;
        report(replies, FD_CONNECT, error);
        if (error != 0) {
            // The session never started, so nothing else (FD_CLOSE above all) may follow.
            m_wanted = m_armed = 0;
            return replies;
        }
    }
    if (m_listening) {
        if ((epollEvents & EPOLLIN) != 0) {
            report(replies, FD_ACCEPT, 0);
        }
        return replies;
    }
    // Pending data goes out as FD_READ before FD_CLOSE, so a reader that stops at the close
    // loses nothing.
    if ((epollEvents & EPOLLIN) != 0 && isArmed(FD_READ) && hasPendingData()) {
        report(replies, FD_READ, 0);
    }
    if ((epollEvents & EPOLLPRI) != 0) {
        report(replies, FD_OOB, 0);
    }
    if ((epollEvents & EPOLLOUT) != 0) {
        report(replies, FD_WRITE, 0);
    }
    if (m_stream && (epollEvents & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0 && isArmed(FD_CLOSE)) {
        report(replies, FD_CLOSE, takeSocketErrorIf(epollEvents));
    }
    return replies;
}

void SocketWatch::reenable(unsigned kinds) {
    m_armed |= kinds & kRearmable & m_wanted;
}

std::uint32_t SocketWatch::interest() const {
    std::uint32_t events = 0;
    if (m_connecting) {
        events |= EPOLLOUT;
    }
    if (m_listening) {
        return isArmed(FD_ACCEPT) ? events | EPOLLIN : events;
    }
    if (isArmed(FD_READ) || (m_stream && (m_wanted & FD_READ) != 0)) {
        events |= EPOLLIN;
    }
    if (isArmed(FD_OOB)) {
        events |= EPOLLPRI;
    }
    if (isArmed(FD_WRITE)) {
        events |= EPOLLOUT;
    }
    if (isArmed(FD_CLOSE) && m_stream) {
        events |= EPOLLRDHUP;
    }
    return events;
}

void SocketWatch::report(std::vector<std::intptr_t>& replies, unsigned kind, int error) {
    if (isArmed(kind)) {
        m_armed &= ~kind;
        replies.push_back(makeSelectReply(kind, static_cast<unsigned>(error)));
    }
}

bool SocketWatch::hasPendingData() const {
    // A datagram socket is readable only with a datagram waiting, even an empty one. A stream
    // socket is asked once per readiness: its edge may be one of bytes a reader already took.
    if (!m_stream) {
        return true;
    }
    int waiting = 0;
    return ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0;
}

bool SocketWatch::hasPeer() const {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    return getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

int SocketWatch::takeSocketErrorIf(std::uint32_t epollEvents) const {
    // A socket holding an error always polls with EPOLLERR, so without it there is none to take.
    if ((epollEvents & EPOLLERR) == 0) {
        return 0;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

}  // namespace quillharbor
