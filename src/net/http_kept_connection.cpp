#include "net/http_kept_connection.h"

#include <utility>

namespace quillharbor {

std::string KeptConnection::keyOf(const HttpTarget& target, bool verifyCertificates) {
    // A session set up without checking the certificate must not serve a request that checks it.
    std::string key = target.secure ? (verifyCertificates ? "tls " : "tls-unverified ") : "tcp ";
    key += target.connectHost + " " + target.connectPort;
    if (target.secure) {
        key += " " + target.targetHost + " " + target.tunnel;
    }
    return key;
}

void KeptConnection::keep(std::string key, Clock::time_point now) {
    m_key = std::move(key);
    m_idleSince = now;
}

bool KeptConnection::serves(const std::string& key, Clock::time_point now) const {
    return live(now) && m_key == key;
}

}  // namespace quillharbor
