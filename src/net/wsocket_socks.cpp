#include "net/socket_error.h"
#include "net/wsocket.h"

namespace quillharbor {

// The SOCKS stage: between the TCP connection to the SOCKS server and the session-connected
// event the owner waits for. The negotiator composes and parses; this part moves its bytes.

void TWSocket::socksConnected(int error) {
    if (!fire(OnSocksConnected, error))
        return;
    if (error != 0) {
        fireSessionConnected(error);
        return;
    }
    onSocksStep(m_socks.start());
}

void TWSocket::socksDataAvailable() {
    std::string bytes(m_socks.room(), '\0');
    const int received = networkReceive(bytes.data(), static_cast<int>(bytes.size()));
    if (received < 0) {
        if (m_lastError == WSAEWOULDBLOCK) {
            m_lastError = 0;
            return;
        }
        socksFail(m_lastError, "data receive error");
        return;
    }
    if (received == 0)
        return;  // the server hung up: the close notification follows
    bytes.resize(static_cast<std::size_t>(received));
    onSocksStep(m_socks.feed(bytes));
}

void TWSocket::onSocksStep(SocksStep step) {
    for (const TSocksAuthState state : step.authStates)
        if (!fire(OnSocksAuthState, state))
            return;
    if (step.failed()) {
        socksFail(step.errorCode, step.errorText);
        return;
    }
    const Lifetime lifetime = m_lifetime;
    if (!step.send.empty()) {
        queueSend(step.send.data(), static_cast<int>(step.send.size()));
        if (!alive(lifetime) || m_fd == -1)
            return;
    }
    if (!step.connected)
        return;
    m_socksPending = std::move(step.applicationBytes);
    if (!fireSessionConnected(0) || m_fd == -1)
        return;
    // Bytes that came with the reply are in no socket buffer: no notification would tell of them.
    if (!m_socksPending.empty())
        receiveLoop(0, false);
}

void TWSocket::socksFail(int code, const std::string& text) {
    const std::uint64_t session = m_session;
    if (!fire(OnSocksError, code, text) || m_session != session)
        return;
    if (!fireSessionConnected(code) || m_session != session)
        return;
    internalClose(true, code);
}

}  // namespace quillharbor
