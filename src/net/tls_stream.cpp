#include "net/tls_stream.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <climits>
#include <memory>

#include "net/socket_error.h"
#include "net/tls_failure.h"
#include "net/wsocket.h"

namespace quillharbor {

namespace {

// Records are read ahead in blocks this large: one receive brings several of them.
constexpr std::size_t kReadAhead = 256 * 1024;

TWSocket& socketOf(BIO* bio) {
    return *static_cast<TWSocket*>(BIO_get_data(bio));
}

int socketRead(BIO* bio, char* buffer, int size) {
    BIO_clear_retry_flags(bio);
    TWSocket& socket = socketOf(bio);
    const int count = socket.Receive(buffer, size);
    if (count < 0 && socket.LastError() == WSAEWOULDBLOCK) {
        BIO_set_retry_read(bio);
    }
    return count;
}

int socketWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    // The socket queues every byte it is given; it never asks to be called again.
    return socketOf(bio).Send(data, length);
}

long socketControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int socketCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* socketMethod() {
    static const std::unique_ptr<BIO_METHOD, decltype(&BIO_meth_free)> method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "TWSocket");
        BIO_meth_set_read(made, socketRead);
        BIO_meth_set_write(made, socketWrite);
        BIO_meth_set_ctrl(made, socketControl);
        BIO_meth_set_create(made, socketCreate);
        return std::unique_ptr<BIO_METHOD, decltype(&BIO_meth_free)>(made, BIO_meth_free);
    }();
    return method.get();
}

// TLS 1.2 and 1.3 against the default trust store, which SSL_CERT_FILE and SSL_CERT_DIR replace.
SSL_CTX* clientContext() {
    static const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
        SSL_CTX_set_max_proto_version(made, TLS1_3_VERSION);
        SSL_CTX_set_default_verify_paths(made);
        SSL_CTX_set_default_read_buffer_len(made, kReadAhead);
        SSL_CTX_set_read_ahead(made, 1);
        return std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>(made, SSL_CTX_free);
    }();
    return context.get();
}

bool isDottedAddress(const std::string& name) {
    in6_addr address{};
    return ::inet_pton(AF_INET, name.c_str(), &address) == 1 ||
           ::inet_pton(AF_INET6, name.c_str(), &address) == 1;
}

}  // namespace

TlsStream::TlsStream(TWSocket& socket, const std::string& serverName, bool verify)
    : m_ssl(SSL_new(clientContext())) {
    BIO* bio = BIO_new(socketMethod());
    BIO_set_data(bio, &socket);
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_connect_state(m_ssl);
    if (isDottedAddress(serverName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), serverName.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, serverName.c_str());
        SSL_set1_host(m_ssl, serverName.c_str());
    }
    SSL_set_verify(m_ssl, verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
}

TlsStream::~TlsStream() {
    SSL_free(m_ssl);
}

TlsStream::Step TlsStream::handshake() {
    // What an earlier session left in the thread's error queue would be taken for this one's.
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1) {
        return Step::Done;
    }
    const int error = SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        return Step::Waiting;
    }
    m_failure = tlsFailureStatus(SSL_get_verify_result(m_ssl));
    m_ended = true;
    return Step::Failed;
}

std::size_t TlsStream::read(char* buffer, std::size_t size) {
    if (m_ended || size == 0) {
        return 0;
    }
    ERR_clear_error();
    std::size_t count = 0;
    const int result = SSL_read_ex(m_ssl, buffer, size, &count);
    if (result == 1) {
        return count;
    }
    const int error = SSL_get_error(m_ssl, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
        // A close_notify, a cut connection or a broken record: the stream is over either way.
        m_ended = true;
    }
    return 0;
}

bool TlsStream::buffered() const {
    return !m_ended && SSL_has_pending(m_ssl) == 1;
}

void TlsStream::write(const std::string& bytes) {
    std::size_t written = 0;
    if (!m_ended && !bytes.empty()) {
        ERR_clear_error();
        SSL_write_ex(m_ssl, bytes.data(), bytes.size(), &written);
    }
}

}  // namespace quillharbor
