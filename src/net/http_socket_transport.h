#pragma once

#include "net/http_transport.h"
#include "net/wsocket.h"

namespace quillharbor {

class MessageLoop;

// HttpTransport on a TWSocket: the client's control socket. The socket's session events are
// taken for the client; its OnError, OnBgException and OnSocksError stay the owner's.
class HttpSocketTransport : public HttpTransport {
public:
    explicit HttpSocketTransport(MessageLoop& loop);
    ~HttpSocketTransport() override;

    void setEvents(Events& events) override;
    void lookup(const std::string& host) override;
    void cancelLookup() override;
    void connect(const std::string& address, const std::string& port) override;
    void send(const std::string& bytes) override;
    std::size_t receive(char* buffer, std::size_t size) override;
    void close() override;
    bool open() const override;
    TWSocket* socket() override { return &m_socket; }

private:
    TWSocket m_socket;
    Events* m_events = nullptr;
};

}  // namespace quillharbor
