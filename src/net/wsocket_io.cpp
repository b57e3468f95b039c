#include "net/socket_error.h"
#include "net/wsocket.h"

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace quillharbor {

namespace {

// How long a pump waits for work before it looks at its own condition again.
constexpr std::chrono::milliseconds PumpWait{100};
constexpr int DiscardSize = 1024;
// Line mode reads this much per round; a control connection's replies are far shorter.
constexpr int LineReadSize = 16 * 1024;
constexpr int GatherLimit = 64;

int lastSocketError() {
    return socketErrorFromErrno(errno);
}

bool endsSession(int code) {
    return code == WSAECONNRESET || code == WSAENOTSOCK || code == WSAENOTCONN ||
           code == WSAEINVAL || code == WSAECONNABORTED;
}

}  // namespace

// ---- notifications ----

void TWSocket::onSelect(int fd, unsigned events, int error) {
    if (m_fd == -1 || m_paused)
        return;
    if (fd != m_fd) {
        racerEvent(fd, events, error);
        return;
    }
    const Lifetime lifetime = m_lifetime;
    const std::uint64_t session = m_session;
    const auto sessionGone = [&] { return !alive(lifetime) || m_session != session || m_fd == -1; };

    if ((events & FD_CONNECT) != 0 && m_state == TSocketState::wsConnecting) {
        if (error != 0 && attemptFailed(m_fd))
            return;  // another address of the name is still trying
        endRace();
        setState(TSocketState::wsConnected);
        if (sessionGone())
            return;
        if (negotiating())
            socksConnected(error);
        else
            fireSessionConnected(error);
        if (sessionGone())
            return;
        if (error != 0 && m_state != TSocketState::wsClosed) {
            Close();
            return;
        }
    }
    // While a close is queued behind a block, that close reads what is left.
    if ((events & FD_READ) != 0 && !m_closeQueued) {
        // The reader may destroy the socket: nothing of it is touched before that is known.
        const bool blockRead = receiveLoop(error, false);
        if (!alive(lifetime))
            return;
        m_blockRead = blockRead;
        if (sessionGone())
            return;
    }
    if ((events & FD_WRITE) != 0) {
        tryToSend();
        if (sessionGone())
            return;
        // The SOCKS messages are the socket's own: the owner hears of nothing before connected.
        if (m_allSent && !negotiating() && (!fire(OnDataSent, error) || sessionGone()))
            return;
    }
    if ((events & FD_ACCEPT) != 0 && (!fire(OnSessionAvailable, error) || sessionGone()))
        return;
    if ((events & FD_CLOSE) != 0 && m_state != TSocketState::wsConnecting) {
        // A block was just read: the next waits for the loop's next pass, like the close.
        const bool blockFull = m_blockRead || receiveLoop(0, true);
        if (!alive(lifetime))
            return;
        m_blockRead = false;
        m_closeQueued = false;
        if (sessionGone())
            return;
        if (blockFull) {
            m_closeQueued = true;
            // The rest is read block by block like any data, with the loop served between;
            // the close is reported after it.
            m_loop.post(m_handle, WM_ASYNCSELECT, static_cast<std::uintptr_t>(m_fd),
                        makeSelectReply(FD_CLOSE, static_cast<unsigned>(error)));
            return;
        }
        if (negotiating()) {
            // A SOCKS server that hangs up mid-negotiation fails the connect, so the owner still
            // gets its connected event.
            socksFail(error != 0 ? error : WSAECONNABORTED, "data receive error");
            return;
        }
        if (!m_closeInvoked) {
            m_closeInvoked = true;
            if (!fireSessionClosed(error) || sessionGone())
                return;
        }
        if (m_state != TSocketState::wsClosed)
            Close();
    }
}

// Fires data-available until the reader has emptied the socket, has taken a block of
// ReadBlockSize bytes, or stops reading. No system call is made per read to look at what waits:
// a receive that came back short or would block tells that the socket is empty. Returns whether
// it stopped at the block's size, with bytes perhaps still waiting.
bool TWSocket::receiveLoop(int error, bool closing) {
    const Lifetime lifetime = m_lifetime;
    const std::uint64_t session = m_session;
    const std::uint64_t callsBefore = m_receiveCalls;
    const std::int64_t bytesBefore = m_networkBytes;
    ++m_receiveLoops;
    bool emptyNow = false;
    bool blockFull = false;
    for (;;) {
        m_lastError = 0;
        const std::uint64_t calls = m_receiveCalls;
        bool handled = false;
        if (!fireDataAvailable(error, handled) || m_session != session || m_fd == -1) {
            if (alive(lifetime))
                --m_receiveLoops;
            return false;
        }
        if (!handled) {
            char discarded[DiscardSize];
            if (receiveRaw(discarded, DiscardSize) < 0 && m_lastError == WSAEWOULDBLOCK)
                m_lastError = 0;
        }
        // A handler that paused the socket reads nothing more until it resumes, which watches
        // the socket anew.
        if (m_paused) {
            --m_receiveLoops;
            return false;
        }
        // A handler that leaves the data waiting hears of it again once it has read: offering
        // the same bytes over and over would never end.
        if (m_lastError != 0 || m_receiveCalls == calls || m_readDrained)
            break;
        if (m_networkBytes - bytesBefore >= ReadBlockSize) {
            blockFull = true;
            break;
        }
        if (hasComponentOption(TWSocketOption::wsoNoReceiveLoop))
            break;
        // Only a receive that filled its buffer leaves the question open.
        if (RcvdCount() <= 0 || !alive(lifetime)) {
            // In line mode the count is the offered line's, which says nothing of the socket.
            emptyNow = alive(lifetime) && !lineModeActive() && m_line.empty();
            break;
        }
    }
    --m_receiveLoops;
    if (m_fd == -1 || m_session != session || m_receiveCalls == callsBefore || m_readDrained)
        return false;
    if (closing)
        return blockFull;
    // Read from, but not to its end: the next notification comes at once when bytes still wait.
    if (emptyNow)
        m_loop.readDrained(m_fd);
    else
        m_loop.reenableSocketEvents(m_fd, FD_READ);
    return blockFull;
}

bool TWSocket::fireDataAvailable(int error, bool& handled) {
    const Lifetime lifetime = m_lifetime;
    if (negotiating()) {
        handled = true;
        socksDataAvailable();
        return alive(lifetime);
    }
    if (lineModeActive()) {
        handled = true;
        lineDataAvailable();
        return alive(lifetime);
    }
    handled = OnDataAvailable != nullptr && !m_destroying;
    return fire(OnDataAvailable, error);
}

bool TWSocket::fireSessionConnected(int error) {
    return fire(OnSessionConnected, error);
}

bool TWSocket::fireSessionClosed(int error) {
    const Lifetime lifetime = m_lifetime;
    if (!m_line.empty() && !offerRest())
        return false;
    m_line.clear();
    if (m_socks.phase() == SocksNegotiator::Phase::Authenticating &&
        !fire(OnSocksAuthState, TSocksAuthState::socksAuthFailure))
        return false;
    return fire(OnSessionClosed, error);
}

// ---- line mode ----

void TWSocket::lineDataAvailable() {
    char bytes[LineReadSize];
    const int received = lowerReceive(bytes, LineReadSize);
    if (received <= 0)
        return;
    const std::string echo = m_line.add(std::string_view(bytes, static_cast<std::size_t>(received)),
                                        m_lineEdit, m_lineEcho);
    if (!echo.empty() && m_state == TSocketState::wsConnected) {
        const Lifetime lifetime = m_lifetime;
        queueSend(echo.data(), static_cast<int>(echo.size()));
        if (!alive(lifetime))
            return;
    }
    offerLines();
}

bool TWSocket::offerLines() {
    const Lifetime lifetime = m_lifetime;
    while (m_lineMode && m_line.offerLine() > 0) {
        const std::size_t offered = m_line.offered();
        if (!fire(OnDataAvailable, 0))
            return false;
        // A line nobody read is dropped, as it is when there is no handler at all.
        if (m_lineMode && m_line.offered() == offered)
            m_line.dropLine();
    }
    return alive(lifetime);
}

bool TWSocket::offerRest() {
    // What is left when the session ends is handed out before the closed event; nothing waits
    // for more of it.
    if (m_lineMode)
        m_line.offerRest();
    while (!m_line.empty()) {
        const std::size_t left = m_line.size();
        if (!fire(OnDataAvailable, 0))
            return false;
        if (m_line.size() == left)
            break;
        if (m_lineMode)
            m_line.offerRest();
    }
    return true;
}

void TWSocket::redeliverBuffered() {
    if (lineModeActive()) {
        offerLines();
        return;
    }
    while (!m_line.empty()) {
        const std::size_t left = m_line.size();
        if (!fire(OnDataAvailable, 0) || m_line.size() == left)
            return;
    }
}

// ---- sending ----

int TWSocket::Send(const void* data, int length) {
    if (m_state != TSocketState::wsConnected || negotiating()) {
        socketError("Send", WSAENOTCONN);
        return -1;
    }
    if (length <= 0)
        return 0;
    queueSend(data, length);
    return length;
}

int TWSocket::SendStr(const std::string& text) {
    return Send(text.data(), static_cast<int>(text.size()));
}

void TWSocket::queueSend(const void* data, int length) {
    m_allSent = false;
    m_sendChain.append(data, length);
    const Lifetime lifetime = m_lifetime;
    tryToSend();
    // Everything went out at once: OnDataSent still comes from the loop, never inside Send.
    if (alive(lifetime) && m_allSent && m_fd != -1)
        m_loop.post(m_handle, WM_ASYNCSELECT, static_cast<std::uintptr_t>(m_fd),
                    makeSelectReply(FD_WRITE, 0));
}

void TWSocket::tryToSend() {
    if (m_fd == -1 || m_sendChain.chunkCount() == 0)
        return;
    const int flags = MSG_NOSIGNAL | (m_sendFlags == TSocketSendFlags::wsSendUrgent ? MSG_OOB : 0);
    for (;;) {
        std::size_t offered = 0;
        const ssize_t sent = sendSome(flags, offered);
        if (offered == 0) {
            m_allSent = true;
            return;
        }
        if (sent < 0) {
            const int code = lastSocketError();
            if (code == WSAEWOULDBLOCK) {
                m_loop.reenableSocketEvents(m_fd, FD_WRITE);
            } else if (endsSession(code)) {
                const Lifetime lifetime = m_lifetime;
                m_closeInvoked = true;
                Close();
                if (alive(lifetime))
                    fireSessionClosed(code);
            } else {
                socketError("TryToSend failed", code);
            }
            return;
        }
        if (sent == 0)
            return;
        m_sendChain.consume(static_cast<int>(sent));
        if (!fire(OnSendData, static_cast<int>(sent)) || m_fd == -1)
            return;
        if (static_cast<std::size_t>(sent) < offered) {
            // The rest goes at the next write notification.
            m_loop.reenableSocketEvents(m_fd, FD_WRITE);
            return;
        }
    }
}

ssize_t TWSocket::sendSome(int flags, std::size_t& offered) {
    if (m_socketType == SOCK_DGRAM) {
        // One chunk is one datagram.
        int length = 0;
        const char* bytes = m_sendChain.front(length);
        offered = static_cast<std::size_t>(length);
        if (bytes == nullptr)
            return 0;
        return ::sendto(m_fd, bytes, offered, flags, m_remote.get(), m_remote.length());
    }
    // A stream takes several chunks in one call: the chunks stay small and are reused, but the
    // system is not asked once per 1514 bytes.
    iovec runs[GatherLimit];
    msghdr message{};
    message.msg_iov = runs;
    message.msg_iovlen = static_cast<std::size_t>(m_sendChain.gather(runs, GatherLimit, offered));
    if (offered == 0)
        return 0;
    return ::sendmsg(m_fd, &message, flags);
}

int TWSocket::SendTo(const sockaddr_in& to, const void* data, int length) {
    const ssize_t sent = ::sendto(m_fd, data, static_cast<std::size_t>(std::max(length, 0)),
                                  MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0) {
        m_lastError = lastSocketError();
        return -1;
    }
    return static_cast<int>(sent);
}

// ---- receiving ----

int TWSocket::Receive(void* buffer, int size) {
    return receiveRaw(buffer, size);
}

int TWSocket::receiveRaw(void* buffer, int size) {
    ++m_receiveCalls;
    if (size <= 0)
        return 0;
    char* out = static_cast<char*>(buffer);
    if (lineModeActive()) {
        if (m_line.offered() > 0)
            return static_cast<int>(m_line.readLine(out, static_cast<std::size_t>(size)));
        // Bytes that are not a line yet stay where they are, in order.
        m_lastError = WSAEWOULDBLOCK;
        return -1;
    }
    if (!m_line.empty())
        return static_cast<int>(m_line.readBuffered(out, static_cast<std::size_t>(size)));
    return lowerReceive(buffer, size);
}

// Application bytes from below the line layer: what came behind the SOCKS reply first, then the
// network. ReadCount counts each byte once, here.
int TWSocket::lowerReceive(void* buffer, int size) {
    int received = 0;
    if (!m_socksPending.empty()) {
        received =
            static_cast<int>(std::min(m_socksPending.size(), static_cast<std::size_t>(size)));
        std::memcpy(buffer, m_socksPending.data(), static_cast<std::size_t>(received));
        m_socksPending.erase(0, static_cast<std::size_t>(received));
    } else {
        received = networkReceive(buffer, size);
    }
    if (received > 0)
        m_readCount += received;
    return received;
}

int TWSocket::networkReceive(void* buffer, int size) {
    ++m_receiveCalls;
    if (m_fd == -1) {
        m_lastError = WSAENOTSOCK;
        return -1;
    }
    const ssize_t received = ::recv(m_fd, buffer, static_cast<std::size_t>(size), 0);
    const int error = lastSocketError();
    afterNetworkReceive(received, size, error);
    if (received < 0) {
        m_lastError = error;
        return -1;
    }
    m_peerClosed = m_peerClosed || (received == 0 && size > 0 && m_socketType == SOCK_STREAM);
    m_networkBytes += received;
    return static_cast<int>(received);
}

// Re-enables FD_READ as cheaply as the receive allows: a stream socket read empty is told of
// its next bytes by their arrival; one read inside a receive loop is left to the loop's end.
void TWSocket::afterNetworkReceive(ssize_t received, int size, int error) {
    const bool stream = m_socketType == SOCK_STREAM;
    m_readDrained = stream && (received < 0 ? error == WSAEWOULDBLOCK : received < size);
    if (m_readDrained)
        m_loop.readDrained(m_fd);
    else if (!stream || m_receiveLoops == 0 || received < 0)
        m_loop.reenableSocketEvents(m_fd, FD_READ);
}

int TWSocket::ReceiveFrom(void* buffer, int size, sockaddr_in& from) {
    ++m_receiveCalls;
    socklen_t length = sizeof from;
    const ssize_t received = ::recvfrom(m_fd, buffer, static_cast<std::size_t>(std::max(size, 0)),
                                        0, reinterpret_cast<sockaddr*>(&from), &length);
    const int error = lastSocketError();
    m_loop.reenableSocketEvents(m_fd, FD_READ);
    if (received < 0) {
        m_lastError = error;
        return -1;
    }
    m_readCount += received;
    return static_cast<int>(received);
}

std::string TWSocket::ReceiveStr() {
    const int count = RcvdCount();
    if (count <= 0)
        return {};
    std::string text(static_cast<std::size_t>(count), '\0');
    const int received = Receive(text.data(), count);
    if (received <= 0)
        return {};
    text.resize(static_cast<std::size_t>(received));
    return text;
}

int TWSocket::networkCount() {
    int waiting = 0;
    if (m_fd != -1 && ::ioctl(m_fd, FIONREAD, &waiting) != 0) {
        socketError("ioctlSocket", lastSocketError());
        return -1;
    }
    return static_cast<int>(m_socksPending.size()) + waiting;
}

int TWSocket::RcvdCount() {
    if (lineModeActive())
        return static_cast<int>(m_line.offered());
    if (!m_line.empty())
        return static_cast<int>(m_line.size());
    return networkCount();
}

// ---- pumps ----

void TWSocket::MessagePump() {
    m_loop.processPending();
}

void TWSocket::Flush() {
    const Lifetime lifetime = m_lifetime;
    while (m_fd != -1 && !m_allSent) {
        tryToSend();
        if (!alive(lifetime) || m_fd == -1 || m_allSent)
            return;
        m_loop.runOnce(PumpWait);
        if (!alive(lifetime))
            return;
    }
}

void TWSocket::WaitForClose() {
    const Lifetime lifetime = m_lifetime;
    while (m_fd != -1 && m_state != TSocketState::wsClosed) {
        m_loop.runOnce(PumpWait);
        if (!alive(lifetime))
            return;
    }
}

int TWSocket::WaitUntilReady(bool& flag) {
    using Clock = std::chrono::steady_clock;
    const Lifetime lifetime = m_lifetime;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_syncTimeout);
    while (!flag) {
        std::chrono::milliseconds wait = PumpWait;
        if (m_syncTimeout > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return SyncWaitTimeout;
            wait = std::min(wait, left);
        }
        m_loop.runOnce(wait);
        // The flag may have gone with the socket's owner.
        if (!alive(lifetime))
            return SyncWaitTimeout;
    }
    return 0;
}

int TWSocket::Synchronize(const std::function<void()>& operation, bool& flag) {
    const Lifetime lifetime = m_lifetime;
    flag = false;
    if (operation)
        operation();
    if (!alive(lifetime))
        return SyncWaitTimeout;
    return WaitUntilReady(flag);
}

}  // namespace quillharbor
