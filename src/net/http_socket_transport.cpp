#include "net/http_socket_transport.h"

#include <array>
#include <climits>

#include "net/http_status.h"
#include "net/http_tunnel.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"
#include "net/tls_failure.h"

namespace quillharbor {

HttpSocketTransport::HttpSocketTransport(MessageLoop& loop) : m_socket(loop) {}

HttpSocketTransport::~HttpSocketTransport() {
    // The socket closes as it dies; nothing of that may reach the client being destroyed.
    m_socket.OnDnsLookupDone = nullptr;
    m_socket.OnSessionConnected = nullptr;
    m_socket.OnDataAvailable = nullptr;
    m_socket.OnSessionClosed = nullptr;
    m_socket.CancelDnsLookup();
}

void HttpSocketTransport::setEvents(Events& events) {
    m_events = &events;
    m_socket.OnDnsLookupDone = [this](TWSocket& socket, int error) {
        m_events->onLookupDone(error, error == 0 ? socket.DnsResult() : std::string());
    };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onSocketData(); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
}

void HttpSocketTransport::lookup(const std::string& host) {
    m_socket.DnsLookup(host);
}

void HttpSocketTransport::cancelLookup() {
    try {
        m_socket.CancelDnsLookup();
    } catch (const ESocketException&) {
        // A look-up that cannot be cancelled is one whose answer is ignored anyway.
    }
}

void HttpSocketTransport::connect(const std::string& address, const std::string& port) {
    m_stage = Stage::Plain;
    m_tls.reset();
    m_tunnelAnswer.clear();
    // A refused start (an unusable port, no descriptor left) raises instead of reporting: turn
    // it into the connect report, so that the request ends like any failed connect.
    int error = 0;
    try {
        m_socket.setAddr(address);
        m_socket.setPort(port);
        m_socket.setProto("tcp");
        m_socket.Connect();
        if (m_socket.State() == TSocketState::wsClosed) {
            error = m_socket.LastError() != 0 ? m_socket.LastError() : WSAEINVAL;
        }
    } catch (const ESocketException&) {
        error = m_socket.LastError() != 0 ? m_socket.LastError() : WSAEINVAL;
    }
    if (error != 0) {
        m_events->onConnected(error);
    }
}

void HttpSocketTransport::onSocketConnected(int error) {
    if (error != 0 || (!m_plan.tls && m_plan.tunnelRequest.empty())) {
        m_events->onConnected(error);
    } else if (!m_plan.tunnelRequest.empty()) {
        m_stage = Stage::Tunnel;
        m_socket.Send(m_plan.tunnelRequest.data(), static_cast<int>(m_plan.tunnelRequest.size()));
    } else {
        startTls();
    }
}

void HttpSocketTransport::onSocketData() {
    switch (m_stage) {
        case Stage::Plain:
            m_events->onDataAvailable();
            break;
        case Stage::Tunnel:
            readTunnelAnswer();
            break;
        case Stage::Handshake:
            continueHandshake();
            break;
        case Stage::Secure:
            m_events->onDataAvailable();
            deliverBuffered();
            break;
    }
}

void HttpSocketTransport::readTunnelAnswer() {
    std::array<char, 4096> bytes{};
    const int count = m_socket.Receive(bytes.data(), static_cast<int>(bytes.size()));
    if (count <= 0) {
        return;
    }
    m_tunnelAnswer.append(bytes.data(), static_cast<std::size_t>(count));
    const TunnelReply reply = readTunnelReply(m_tunnelAnswer);
    switch (reply.phase) {
        case TunnelReply::Phase::Incomplete:
            break;
        case TunnelReply::Phase::Open:
            m_tunnelAnswer.clear();
            if (m_plan.tls) {
                startTls();
            } else {
                m_stage = Stage::Plain;
                m_events->onConnected(0);
            }
            break;
        case TunnelReply::Phase::Refused:
            failSession(reply.status);
            break;
        case TunnelReply::Phase::TooLong:
            failSession(kHttpClientFailure);
            break;
    }
}

void HttpSocketTransport::startTls() {
    m_stage = Stage::Handshake;
    m_tls = std::make_unique<TlsStream>(m_socket, m_plan.serverName, m_plan.verify);
    continueHandshake();
}

void HttpSocketTransport::continueHandshake() {
    switch (m_tls->handshake()) {
        case TlsStream::Step::Waiting:
            break;
        case TlsStream::Step::Failed:
            failSession(m_tls->failure());
            break;
        case TlsStream::Step::Done:
            m_stage = Stage::Secure;
            m_events->onConnected(0);
            deliverBuffered();
            break;
    }
}

void HttpSocketTransport::failSession(int status) {
    m_stage = Stage::Plain;
    m_events->onConnected(status);
}

void HttpSocketTransport::deliverBuffered() {
    while (m_stage == Stage::Secure && m_tls->buffered()) {
        const std::int64_t before = m_delivered;
        m_events->onDataAvailable();
        if (m_delivered == before) {
            break;  // the client takes nothing more now
        }
    }
}

void HttpSocketTransport::onSocketClosed(int error) {
    const Stage stage = m_stage;
    if (stage == Stage::Secure) {
        deliverBuffered();
    }
    m_stage = Stage::Plain;
    if (stage == Stage::Tunnel || stage == Stage::Handshake) {
        // The client still waits for its connect: the secured session never came.
        m_events->onConnected(error != 0                  ? error
                              : stage == Stage::Handshake ? kTlsHandshakeFailed
                                                          : WSAECONNRESET);
    }
    m_events->onClosed(error);
}

void HttpSocketTransport::send(const std::string& bytes) {
    if (m_stage == Stage::Secure) {
        m_tls->write(bytes);
    } else {
        m_socket.Send(bytes.data(), static_cast<int>(bytes.size()));
    }
}

std::size_t HttpSocketTransport::receive(char* buffer, std::size_t size) {
    std::size_t count = 0;
    if (m_stage == Stage::Secure) {
        count = m_tls->read(buffer, size);
    } else if (m_stage == Stage::Plain) {
        const int received =
            m_socket.Receive(buffer, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
        count = received > 0 ? static_cast<std::size_t>(received) : 0;
    }
    m_delivered += static_cast<std::int64_t>(count);
    return count;
}

void HttpSocketTransport::close() {
    m_socket.Close();
}

bool HttpSocketTransport::open() const {
    return m_socket.State() != TSocketState::wsClosed;
}

}  // namespace quillharbor
