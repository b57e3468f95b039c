#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/http_transport.h"
#include "net/tls_stream.h"
#include "net/wsocket.h"

namespace quillharbor {

class MessageLoop;

// HttpTransport on a TWSocket: the client's control socket. The socket's session events are
// taken for the client; its OnError, OnBgException and OnSocksError stay the owner's. A planned
// tunnel and TLS session run between the socket's connect and the client's: the client hears
// onConnected when the secured session is ready, and reads and writes plain bytes either way.
class HttpSocketTransport : public HttpTransport {
public:
    explicit HttpSocketTransport(MessageLoop& loop);
    ~HttpSocketTransport() override;

    void setEvents(Events& events) override;
    void lookup(const std::string& host) override;
    void cancelLookup() override;
    void plan(const HttpSessionPlan& plan) override { m_plan = plan; }
    void connect(const std::string& address, const std::string& port) override;
    void send(const std::string& bytes) override;
    std::size_t receive(char* buffer, std::size_t size) override;
    void close() override;
    bool open() const override;
    TWSocket* socket() override { return &m_socket; }

private:
    enum class Stage {
        Plain,      // no session, or one the client reads directly
        Tunnel,     // waiting for the proxy's answer to CONNECT
        Handshake,  // TLS being set up
        Secure,     // the client reads through TLS
    };

    void onSocketConnected(int error);
    void onSocketData();
    void onSocketClosed(int error);
    void readTunnelAnswer();
    void startTls();
    void continueHandshake();
    // The secured session could not be set up: the connect fails with status.
    void failSession(int status);
    // Hands the client what TLS holds already, which no socket event will announce.
    void deliverBuffered();

    TWSocket m_socket;
    Events* m_events = nullptr;
    HttpSessionPlan m_plan;
    Stage m_stage = Stage::Plain;
    std::string m_tunnelAnswer;
    std::unique_ptr<TlsStream> m_tls;
    std::int64_t m_delivered = 0;  // bytes the client has received
};

}  // namespace quillharbor
