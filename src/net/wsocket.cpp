#include "net/wsocket.h"

#include "net/name_lookup.h"
#include "net/name_resolution.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"

#include <atomic>

namespace quillharbor {

namespace {

std::atomic<int> g_liveSockets{0};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

TWSocket::TWSocket(MessageLoop& loop) : m_loop(loop) {
    m_handle = m_loop.add(*this);
    resetSession();
    ++g_liveSockets;
}

TWSocket::~TWSocket() {
    // No event reaches the owner from here: it may be half destroyed itself.
    m_destroying = true;
    CancelDnsLookup();
    if (m_state != TSocketState::wsClosed || m_fd != -1)
        internalClose(true, 0);
    m_loop.remove(m_handle);
    --g_liveSockets;
}

int TWSocket::liveCount() {
    return g_liveSockets;
}

void TWSocket::Release(std::unique_ptr<TWSocket> socket) {
    TWSocket& self = *socket;
    self.m_released = std::move(socket);
    self.m_loop.post(self.m_handle, WM_WSOCKET_RELEASE);
}

// ---- messages ----

void TWSocket::onMessage(const Message& message) {
    try {
        dispatch(message);
    } catch (const std::exception& e) {
        fireBgException(e);
    } catch (...) {
        fireBgException(std::runtime_error("unknown exception"));
    }
}

void TWSocket::dispatch(const Message& message) {
    switch (message.number) {
        case WM_ASYNCSELECT:
            onSelect(static_cast<int>(message.wParam), selectReplyEvent(message.lParam),
                     socketErrorFromErrno(static_cast<int>(selectReplyError(message.lParam))));
            break;
        case WM_ASYNCGETHOSTBYNAME:
        case WM_ASYNCGETHOSTBYADDR:
            onLookupDone(message.wParam, static_cast<int>(selectReplyError(message.lParam)));
            break;
        case WM_TIMER:
            onTimer(static_cast<unsigned>(message.wParam));
            break;
        case WM_CLOSE_DELAYED:
            Close();
            break;
        case WM_WSOCKET_RELEASE: {
            // Destroyed when this handler returns; the loop does not touch a target after that.
            const std::unique_ptr<TWSocket> doomed = std::move(m_released);
            break;
        }
        case WM_TRIGGER_DATA_AVAILABLE:
            redeliverBuffered();
            break;
        default:
            break;
    }
}

void TWSocket::fireBgException(const std::exception& e) {
    const Lifetime lifetime = m_lifetime;
    bool canClose = true;
    if (OnBgException) {
        try {
            const auto handler = OnBgException;
            handler(*this, e, canClose);
        } catch (...) {
            // A failing exception handler must not take the loop down with it.
        }
    }
    if (alive(lifetime) && canClose)
        Abort();
}

void TWSocket::setState(TSocketState state) {
    const TSocketState old = m_state;
    m_state = state;
    fire(OnChangeState, old, state);
}

// ---- failures ----

void TWSocket::raiseException(const std::string& text) {
    if (OnError) {
        fire(OnError);
        return;
    }
    throw ESocketException(text);
}

void TWSocket::socketError(const std::string& function, int code) {
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        closeHandle();
        if (m_state != TSocketState::wsClosed)
            setState(TSocketState::wsClosed);
    }
    m_lastError = code;
    raiseException(socketErrorText(code, function));
}

// ---- name look-ups ----

// Both look-ups refuse an empty name and replace a look-up still running, whose answer is then
// never reported. Returns whether the look-up may go on.
bool TWSocket::beginLookup(const std::string& name) {
    if (name.empty()) {
        const Lifetime lifetime = m_lifetime;
        raiseException("DNS lookup: invalid host name.");
        if (alive(lifetime))
            fireLookupDone(WSAEINVAL);
        return false;
    }
    if (m_dnsRequest != 0) {
        NameLookup::instance().cancel(m_dnsRequest);
        m_dnsRequest = 0;
    }
    m_dnsResult.clear();
    m_dnsResultList.clear();
    return true;
}

void TWSocket::DnsLookup(const std::string& host) {
    if (!beginLookup(host))
        return;
    if (const auto address = SocketAddress::parse(trimmed(host))) {
        m_dnsResult = address->text();
        fireLookupDone(0);
        return;
    }
    m_dnsRequest =
        NameLookup::instance().lookupHost(m_loop, m_handle, WM_ASYNCGETHOSTBYNAME, trimmed(host));
}

void TWSocket::ReverseDnsLookup(const std::string& address) {
    if (!beginLookup(address))
        return;
    const auto parsed = parseDottedAddress(address);
    if (!parsed) {
        m_lastError = WSAEINVAL;
        raiseException(address + ": can't start DNS lookup, error #" + std::to_string(WSAEINVAL));
        return;
    }
    m_dnsRequest =
        NameLookup::instance().lookupAddress(m_loop, m_handle, WM_ASYNCGETHOSTBYADDR, *parsed);
}

void TWSocket::CancelDnsLookup() {
    if (m_dnsRequest == 0)
        return;
    NameLookup::instance().cancel(m_dnsRequest);
    m_dnsRequest = 0;
    if (!m_destroying)
        fireLookupDone(WSAEINTR);
}

void TWSocket::onLookupDone(std::uintptr_t request, int error) {
    if (request == 0 || request != m_dnsRequest)
        return;
    m_dnsRequest = 0;
    std::vector<std::string> result = NameLookup::instance().takeResult(request);
    if (error == 0) {
        m_dnsResultList = std::move(result);
        if (!m_dnsResultList.empty())
            m_dnsResult = m_dnsResultList.front();
    }
    fireLookupDone(error);
}

// ---- properties ----

// Addr, Port and Proto change only while closed. The same value again changes nothing, unless a
// close has unassigned it meanwhile.
void TWSocket::assignEndpointPart(const std::string& value, const char* name, std::string& part,
                                  bool& assigned, bool& resolved) {
    if (m_state != TSocketState::wsClosed) {
        raiseException(std::string("Cannot change ") + name + " if not closed");
        return;
    }
    const std::string text = trimmed(value);
    if (text == part && assigned)
        return;
    part = text;
    assigned = !text.empty();
    resolved = false;
}

void TWSocket::setAddr(const std::string& value) {
    assignEndpointPart(value, "Addr", m_addr, m_addrAssigned, m_addrResolved);
}

void TWSocket::setPort(const std::string& value) {
    assignEndpointPart(value, "Port", m_port, m_portAssigned, m_portResolved);
}

void TWSocket::setProto(const std::string& value) {
    assignEndpointPart(value, "Proto", m_proto, m_protoAssigned, m_protoResolved);
}

void TWSocket::setLocalAddr(const std::string& value) {
    if (m_state != TSocketState::wsClosed) {
        raiseException("Cannot change LocalAddr if not closed");
        return;
    }
    if (trimmed(value).empty()) {
        m_localAddr = "0.0.0.0";
        return;
    }
    const auto address = SocketAddress::parse(trimmed(value));
    if (!address) {
        raiseException("SetLocalAddr(): Invalid IP address");
        return;
    }
    m_localAddr = address->text();
}

void TWSocket::setLocalPort(const std::string& value) {
    if (m_state != TSocketState::wsClosed) {
        raiseException("Cannot change LocalPort if not closed");
        return;
    }
    m_localPort = trimmed(value);
    m_localPortResolved = false;
}

void TWSocket::setSendFlags(TSocketSendFlags value) {
    if (value != TSocketSendFlags::wsSendNormal && value != TSocketSendFlags::wsSendUrgent) {
        raiseException("Invalid SendFlags");
        return;
    }
    m_sendFlags = value;
}

bool TWSocket::hasComponentOption(TWSocketOption option) const {
    return (m_componentOptions & static_cast<unsigned>(option)) != 0;
}

void TWSocket::setComponentOptions(std::initializer_list<TWSocketOption> options) {
    m_componentOptions = 0;
    for (const TWSocketOption option : options) m_componentOptions |= static_cast<unsigned>(option);
}

void TWSocket::setSocksLevel(const std::string& value) {
    if (m_state != TSocketState::wsClosed) {
        raiseException("Can't change socks level if not closed");
        return;
    }
    if (value != "4" && value != "4A" && value != "4a" && value != "5") {
        raiseException("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    m_socksLevel = value == "4a" ? "4A" : value;
}

void TWSocket::setSocksServer(const std::string& value) {
    if (m_state != TSocketState::wsClosed) {
        raiseException("Can't change socks server if not closed");
        return;
    }
    m_socksServer = trimmed(value);
}

void TWSocket::setSocksPort(const std::string& value) {
    if (m_state != TSocketState::wsClosed) {
        raiseException("Can't change socks port if not closed");
        return;
    }
    m_socksPort = trimmed(value);
}

void TWSocket::setLineMode(bool value) {
    if (value == m_lineMode)
        return;
    m_lineMode = value;
    // Bytes already collected are delivered again under the new mode.
    if (!m_line.empty())
        m_loop.post(m_handle, WM_TRIGGER_DATA_AVAILABLE);
}

}  // namespace quillharbor
