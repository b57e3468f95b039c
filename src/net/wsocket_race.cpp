#include "net/wsocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace quillharbor {

// The addresses of one name connect in turn: each later one gets ConnectHeadStart after the one
// before, which keeps trying meanwhile, so a family or address that drops its packets costs a
// short wait and not a connect time-out. m_fd is always an attempt in flight; the others wait in
// m_racers until one connects (it becomes m_fd) or fails (the next address starts at once).

void TWSocket::startConnect(int fd, const SocketAddress& address) {
    if (::connect(fd, address.get(), address.length()) != 0 && errno != EINPROGRESS) {
        // Linux refuses some connects at once (no route, no port on a local address). They are
        // reported like every failed connect, from the loop, so owners have one path for them.
        m_loop.post(m_handle, WM_ASYNCSELECT, static_cast<std::uintptr_t>(fd),
                    makeSelectReply(FD_CONNECT, static_cast<unsigned>(errno)));
    }
}

// A further attempt with the options of the session's own socket; -1 when it cannot start.
int TWSocket::openAttempt(const SocketAddress& address) {
    const int fd =
        ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, m_protoNumber);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (m_loop.watchSocket(fd, m_handle, WM_ASYNCSELECT, m_paused ? 0 : m_selectedEvents,
                           SocketRole::Connecting) != 0) {
        ::close(fd);
        return -1;
    }
    startConnect(fd, address);
    return fd;
}

void TWSocket::restartHeadStart() {
    if (m_headStartTimer != 0)
        m_loop.stopTimer(m_headStartTimer);
    m_headStartTimer = m_fallbacks.empty() ? 0 : m_loop.startTimer(m_handle, ConnectHeadStart);
}

int TWSocket::openNextFallback() {
    while (!m_fallbacks.empty()) {
        const SocketAddress next = m_fallbacks.front();
        m_fallbacks.erase(m_fallbacks.begin());
        if (const int fd = openAttempt(next); fd != -1)
            return fd;
    }
    return -1;
}

void TWSocket::startRacer() {
    if (const int fd = openNextFallback(); fd != -1)
        m_racers.push_back(fd);
    if (m_fallbacks.empty())
        restartHeadStart();
}

void TWSocket::onTimer(unsigned timerId) {
    if (timerId == 0 || timerId != m_headStartTimer)
        return;
    if (m_state == TSocketState::wsConnecting)
        startRacer();
    else
        endRace();
}

// Returns whether the race goes on, so that this failure is not the session's. A failed attempt
// makes room for the next address at once.
bool TWSocket::attemptFailed(int fd) {
    int next = openNextFallback();
    if (fd != m_fd) {
        m_racers.erase(std::find(m_racers.begin(), m_racers.end(), fd));
        dropAttempt(fd);
    } else if (!m_racers.empty()) {
        dropAttempt(m_fd);
        m_fd = m_racers.front();
        m_racers.erase(m_racers.begin());
    } else if (next != -1) {
        dropAttempt(m_fd);
        m_fd = std::exchange(next, -1);
    } else {
        return false;  // the last address: its failure is the session's
    }
    if (next != -1)
        m_racers.push_back(next);
    restartHeadStart();
    return true;
}

void TWSocket::racerEvent(int fd, unsigned events, int error) {
    const auto racer = std::find(m_racers.begin(), m_racers.end(), fd);
    if (racer == m_racers.end() || (events & FD_CONNECT) == 0 ||
        m_state != TSocketState::wsConnecting)
        return;
    if (error != 0) {
        attemptFailed(fd);
        return;
    }
    m_racers.erase(racer);
    dropAttempt(m_fd);
    m_fd = fd;
    onSelect(fd, events, 0);
}

void TWSocket::dropAttempt(int fd) {
    m_loop.unwatchSocket(fd);
    ::close(fd);
}

void TWSocket::endRace() {
    if (m_headStartTimer != 0)
        m_loop.stopTimer(m_headStartTimer);
    m_headStartTimer = 0;
    for (const int racer : m_racers) dropAttempt(racer);
    m_racers.clear();
    m_fallbacks.clear();
}

}  // namespace quillharbor
