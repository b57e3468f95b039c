#include "net/http_socket_transport.h"

#include <climits>

#include "net/socket_error.h"
#include "net/socket_exception.h"

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
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { m_events->onConnected(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { m_events->onDataAvailable(); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { m_events->onClosed(error); };
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

void HttpSocketTransport::send(const std::string& bytes) {
    m_socket.Send(bytes.data(), static_cast<int>(bytes.size()));
}

std::size_t HttpSocketTransport::receive(char* buffer, std::size_t size) {
    const int count =
        m_socket.Receive(buffer, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

void HttpSocketTransport::close() {
    m_socket.Close();
}

bool HttpSocketTransport::open() const {
    return m_socket.State() != TSocketState::wsClosed;
}

}  // namespace quillharbor
