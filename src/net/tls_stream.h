#pragma once

#include <cstddef>
#include <string>

#include <openssl/types.h>

namespace quillharbor {

class TWSocket;

// A TLS 1.2 or 1.3 client session over a connected TWSocket, through the socket's public calls
// only: the records come from Receive and leave through Send, so a SOCKS stage or a proxy tunnel
// below it is just more of the stream. The owner drives it from the socket's events: handshake()
// on each data event until it is done, then read() until it gives nothing.
//
// The server name goes out as SNI (unless it is a dotted address) and, with verification, the
// server's chain must lead to an authority of the trust store (the system's, or what
// SSL_CERT_FILE and SSL_CERT_DIR name) and its certificate must name that host or address.
//
// Threads: the socket's.
class TlsStream {
public:
    enum class Step {
        Done,     // the session is up
        Waiting,  // for more bytes of the server
        Failed,   // failure() says why
    };

    TlsStream(TWSocket& socket, const std::string& serverName, bool verify);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Sends the first flight on the first call; then takes what the server sent.
    Step handshake();
    // After Failed: a status of tls_failure.h.
    int failure() const { return m_failure; }

    // Plain bytes into buffer; 0 when none can be had now, or once the session ended.
    std::size_t read(char* buffer, std::size_t size);
    // Decrypted or raw bytes wait inside the session that no socket event will announce.
    bool buffered() const;
    // The server closed its side, or the session broke: nothing more will come.
    bool ended() const { return m_ended; }
    void write(const std::string& bytes);

private:
    SSL* m_ssl = nullptr;
    int m_failure = 0;
    bool m_ended = false;
};

}  // namespace quillharbor
