#include "net/name_resolution.h"
#include "net/socket_error.h"
#include "net/wsocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>

namespace quillharbor {

namespace {

constexpr int ProtocolUdp = 17;
constexpr int ListenBacklog = 5;
constexpr unsigned ConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
constexpr unsigned ListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
constexpr unsigned DupEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

int lastSocketError() {
    return socketErrorFromErrno(errno);
}

}  // namespace

void TWSocket::Connect() {
    if (m_fd != -1 && m_state != TSocketState::wsClosed) {
        raiseException("Connect: Socket already in use");
        return;
    }
    if (!m_portAssigned) {
        raiseException("Connect: No Port Specified");
        return;
    }
    if (!m_addrAssigned) {
        raiseException("Connect: No IP Address Specified");
        return;
    }
    if (!m_protoAssigned) {
        raiseException("Connect: No Protocol Specified");
        return;
    }
    if (socksActive() && strcasecmp(m_proto.c_str(), "tcp") != 0) {
        raiseException("tcp is the only protocol supported thru socks server");
        return;
    }
    SocksRequest socks;
    if (!resolveForConnect(socks))
        return;

    collectFallbacks();
    m_sendChain.clear();
    if (!createSocket("Connect (socket)"))
        return;
    ++m_session;
    const Lifetime lifetime = m_lifetime;
    setState(TSocketState::wsOpened);
    if (!alive(lifetime) || m_fd == -1)
        return;
    const int on = 1;
    if (m_socketType == SOCK_STREAM) {
        if (bindsLocally() && !bindLocal()) {
            Close();
            return;
        }
        // Lingering stays off, as the system makes a socket: see applyLinger().
        if (setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
            socketError("setsockopt(SO_KEEPALIVE)", lastSocketError());
        if (setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            socketError("setsockopt(SO_REUSEADDR)", lastSocketError());
    } else {
        if (!bindLocal()) {
            Close();
            return;
        }
        if (m_remote.family() == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(m_remote.get())->sin_addr.s_addr ==
                INADDR_BROADCAST &&
            setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
            socketError("setsockopt(SO_BROADCAST)", lastSocketError());
    }
    const SocketRole role =
        m_socketType == SOCK_STREAM ? SocketRole::Connecting : SocketRole::NotStream;
    if (m_fd == -1 || !selectEvents(ConnectEvents, "WSAAsyncSelect", role))
        return;
    if (m_socketType != SOCK_STREAM) {
        setState(TSocketState::wsConnected);
        if (alive(lifetime))
            fireSessionConnected(0);
        return;
    }
    if (socksActive())
        m_socks.begin(socks);
    startConnect(m_fd, m_remote);
    if (!m_fallbacks.empty())
        restartHeadStart();
    setState(TSocketState::wsConnecting);
}

bool TWSocket::resolveForConnect(SocksRequest& socks) {
    if (!m_protoResolved) {
        m_protoNumber = WSocketResolveProto(m_proto);
        m_socketType = m_protoNumber == ProtocolUdp ? SOCK_DGRAM : SOCK_STREAM;
        m_protoResolved = true;
    }
    if (!m_localPortResolved) {
        m_localPortNumber = WSocketResolvePort(m_localPort, m_proto);
        m_localPortResolved = true;
    }
    if (socksActive()) {
        // The connection goes to the SOCKS server; the destination travels in the negotiation.
        socks.level = m_socksLevel;
        socks.authentication = m_socksAuthentication;
        socks.usercode = m_socksUsercode;
        socks.password = m_socksPassword;
        socks.host = m_addr;
        socks.port = WSocketResolvePort(m_port, m_proto);
        if (m_socksLevel == "4")
            socks.address = WSocketResolveHost(m_addr);
        m_remote = WSocketResolveAddress(m_socksServer);
        m_remote.setPort(WSocketResolvePort(m_socksPort, m_proto));
        m_portResolved = false;
        m_addrResolved = false;
        return true;
    }
    if (!m_portResolved) {
        m_remotePortNumber = WSocketResolvePort(m_port, m_proto);
        m_portResolved = true;
    }
    if (!m_addrResolved) {
        m_remote = WSocketResolveAddress(m_addr);
        m_addrResolved = true;
    }
    m_remote.setPort(m_remotePortNumber);
    return true;
}

void TWSocket::collectFallbacks() {
    m_fallbacks.clear();
    if (m_socketType != SOCK_STREAM || socksActive() || bindsLocally() || m_addr != m_dnsResult)
        return;
    for (std::size_t i = 1; i < m_dnsResultList.size(); ++i) {
        if (auto address = SocketAddress::parse(m_dnsResultList[i])) {
            address->setPort(m_remotePortNumber);
            m_fallbacks.push_back(*address);
        }
    }
}

bool TWSocket::createSocket(const char* function) {
    const int fd =
        ::socket(m_remote.family(), m_socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, m_protoNumber);
    if (fd < 0) {
        socketError(function, lastSocketError());
        return false;
    }
    m_fd = fd;
    return true;
}

bool TWSocket::bindLocal() {
    // The wildcard of the remote address's family unless a local address was chosen.
    SocketAddress local = m_localAddr == "0.0.0.0" ? SocketAddress::any(m_remote.family())
                                                   : WSocketResolveAddress(m_localAddr);
    local.setPort(m_localPortNumber);
    if (::bind(m_fd, local.get(), local.length()) != 0) {
        m_lastError = lastSocketError();
        raiseException("winsock.bind failed, error #" + std::to_string(m_lastError));
        return false;
    }
    if (GetSockName(local) != 0) {
        raiseException("winsock.getsockname failed, error #" + std::to_string(m_lastError));
        return false;
    }
    m_localPortNumber = local.port();
    m_localPort = std::to_string(m_localPortNumber);
    m_localPortResolved = true;
    return true;
}

void TWSocket::applyLinger() {
    if (m_lingerOnOff == TSocketLingerOnOff::wsLingerNoSet)
        return;
    if (m_fd == -1) {
        raiseException("Cannot set linger option at this time");
        return;
    }
    // Every close lets the system deliver what is still queued, in the background, whatever the
    // owner chose: lingering with a time would block the loop inside close(), and lingering
    // with none would turn an orderly Close into a reset that drops the bytes not yet sent.
    const linger option{0, 0};
    if (setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &option, sizeof option) != 0)
        socketError("setsockopt(SO_LINGER)", lastSocketError());
}

bool TWSocket::selectEvents(unsigned events, const char* function, SocketRole role) {
    m_selectedEvents = events;
    const int error =
        m_loop.watchSocket(m_fd, m_handle, WM_ASYNCSELECT, m_paused ? 0 : events, role);
    if (error != 0) {
        socketError(function, socketErrorFromErrno(error));
        return false;
    }
    return true;
}

void TWSocket::Listen() {
    if (socksActive()) {
        raiseException("Listening is not supported thru socks server");
        return;
    }
    const char* missing = !m_portAssigned    ? "listen: port not assigned"
                          : !m_protoAssigned ? "listen: protocol not assigned"
                          : !m_addrAssigned  ? "listen: address not assigned"
                                             : nullptr;
    if (missing != nullptr) {
        socketError(missing, WSAEINVAL);
        return;
    }
    SocksRequest unused;
    resolveForConnect(unused);
    m_sendChain.clear();
    if (!createSocket("socket"))
        return;
    ++m_session;
    if (::bind(m_fd, m_remote.get(), m_remote.length()) != 0) {
        const int error = lastSocketError();
        // Nothing of the session has begun: the handle goes without a closed event.
        closeHandle();
        socketError("Bind", error);
        return;
    }
    const Lifetime lifetime = m_lifetime;
    setState(TSocketState::wsBound);
    if (!alive(lifetime) || m_fd == -1)
        return;
    if (m_socketType != SOCK_STREAM) {
        setState(TSocketState::wsListening);
        if (alive(lifetime))
            setState(TSocketState::wsConnected);
        if (!alive(lifetime) || !fireSessionConnected(0) || m_fd == -1)
            return;
    } else {
        if (::listen(m_fd, ListenBacklog) != 0) {
            socketError("Listen", lastSocketError());
            return;
        }
        setState(TSocketState::wsListening);
        if (!alive(lifetime) || m_fd == -1)
            return;
    }
    selectEvents(ListenEvents, "WSAASyncSelect",
                 m_socketType == SOCK_STREAM ? SocketRole::Listening : SocketRole::NotStream);
}

int TWSocket::Accept() {
    if (m_state != TSocketState::wsListening) {
        socketError("not a listening socket", WSAEINVAL);
        return -1;
    }
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd =
        ::accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int error = lastSocketError();
    if (fd >= 0)
        m_remote = SocketAddress::fromSystem(peer, length);
    m_loop.reenableSocketEvents(m_fd, FD_ACCEPT);
    if (fd < 0) {
        socketError("Accept", error);
        return -1;
    }
    return fd;
}

void TWSocket::Dup(int fd) {
    if (m_fd != -1 && m_fd != fd)
        closeHandle();
    m_fd = fd;
    ++m_session;
    m_closeInvoked = false;
    applyLinger();
    if (m_fd == -1 || !selectEvents(DupEvents, "WSAAsyncSelect"))
        return;
    setState(TSocketState::wsConnected);
}

void TWSocket::Close() {
    internalClose(true, 0);
}

void TWSocket::CloseDelayed() {
    m_loop.post(m_handle, WM_CLOSE_DELAYED);
}

void TWSocket::Abort() {
    const Lifetime lifetime = m_lifetime;
    CancelDnsLookup();
    if (!alive(lifetime))
        return;
    m_sendChain.clear();
    m_lingerOnOff = TSocketLingerOnOff::wsLingerOff;
    if (m_state == TSocketState::wsConnected && m_protoNumber == IPPROTO_TCP)
        applyLinger();
    internalClose(false, 0);
}

void TWSocket::internalClose(bool shutdownFirst, int error) {
    const Lifetime lifetime = m_lifetime;
    if (m_fd == -1) {
        if (m_state != TSocketState::wsClosed) {
            setState(TSocketState::wsClosed);
            if (alive(lifetime))
                resetSession();
        }
        return;
    }
    if (m_state == TSocketState::wsClosed)
        return;
    // After the peer's end of stream nothing is left to read, and the close sends our end as
    // the shutdown would.
    if (shutdownFirst && !m_peerClosed)
        ::shutdown(m_fd, SHUT_WR);
    const int closeError = closeHandle();
    if (closeError != 0) {
        socketError("Disconnect (closesocket)", closeError);
        return;
    }
    setState(TSocketState::wsClosed);
    if (!alive(lifetime))
        return;
    const std::uint64_t session = m_session;
    if (!m_destroying && !m_closeInvoked) {
        m_closeInvoked = true;
        if (!fireSessionClosed(error))
            return;
    }
    // A handler that started the next session already has its own settings to keep.
    if (m_session == session && m_fd == -1)
        resetSession();
}

int TWSocket::closeHandle() {
    endRace();
    if (m_fd == -1)
        return 0;
    m_loop.unwatchSocket(m_fd);
    const int fd = m_fd;
    m_fd = -1;
    m_peerClosed = false;
    // The descriptor is gone even when close() reports an interruption.
    if (::close(fd) != 0 && errno != EINTR)
        return lastSocketError();
    return 0;
}

void TWSocket::resetSession() {
    m_remote = SocketAddress::any(AF_INET);
    m_addrResolved = false;
    m_portResolved = false;
    m_protoResolved = false;
    m_localPortResolved = false;
    m_addrAssigned = false;
    m_portAssigned = false;
    m_proto = "tcp";
    m_protoNumber = IPPROTO_TCP;
    m_protoAssigned = true;
    m_socketType = SOCK_STREAM;
    m_closeQueued = false;
    m_blockRead = false;
    m_localPort = "0";
    m_localAddr = "0.0.0.0";
    m_lingerOnOff = TSocketLingerOnOff::wsLingerOn;
    m_lingerTimeout = 0;
    m_fd = -1;
    m_state = TSocketState::wsClosed;
    m_allSent = true;
    m_readCount = 0;
    m_paused = false;
    m_closeInvoked = false;
    m_flushTimeout = 60;
    m_socks.reset();
    m_socksServer.clear();
    m_socksPort.clear();
    m_socksLevel = "5";
    m_socksPending.clear();
}

void TWSocket::Shutdown(int how) {
    if (m_fd != -1)
        ::shutdown(m_fd, how);
}

void TWSocket::Pause() {
    m_paused = true;
    if (m_fd != -1)
        m_loop.watchSocket(m_fd, m_handle, WM_ASYNCSELECT, 0);
    for (const int racer : m_racers) m_loop.watchSocket(racer, m_handle, WM_ASYNCSELECT, 0);
}

void TWSocket::Resume() {
    m_paused = false;
    if (m_fd != -1)
        m_loop.watchSocket(m_fd, m_handle, WM_ASYNCSELECT, m_selectedEvents);
    for (const int racer : m_racers)
        m_loop.watchSocket(racer, m_handle, WM_ASYNCSELECT, m_selectedEvents);
}

// ---- names ----

namespace {

// getsockname or getpeername into an address; 0, or the errno value.
template <typename Call>
int systemName(Call call, int fd, SocketAddress& name) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (call(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return errno;
    name = SocketAddress::fromSystem(storage, length);
    return 0;
}

}  // namespace

int TWSocket::GetSockName(SocketAddress& name) {
    if (const int error = systemName(::getsockname, m_fd, name); error != 0) {
        m_lastError = socketErrorFromErrno(error);
        return -1;
    }
    return 0;
}

int TWSocket::GetPeerName(SocketAddress& name) {
    if (const int error = systemName(::getpeername, m_fd, name); error != 0) {
        m_lastError = socketErrorFromErrno(error);
        return -1;
    }
    return 0;
}

std::string TWSocket::PeerAddr() {
    SocketAddress peer;
    if (m_state != TSocketState::wsConnected)
        return "error";
    if (GetPeerName(peer) != 0) {
        socketError("GetPeerName", m_lastError);
        return "error";
    }
    return peer.unmapped().text();
}

std::string TWSocket::PeerPort() {
    SocketAddress peer;
    if (m_state != TSocketState::wsConnected)
        return "error";
    if (GetPeerName(peer) != 0) {
        socketError("GetPeerPort", m_lastError);
        return "error";
    }
    return std::to_string(peer.port());
}

std::string TWSocket::GetXPort() {
    SocketAddress local;
    if (m_state != TSocketState::wsBound && m_state != TSocketState::wsConnected &&
        m_state != TSocketState::wsListening)
        return "error";
    if (GetSockName(local) != 0)
        return "error";
    return std::to_string(local.port());
}

}  // namespace quillharbor
