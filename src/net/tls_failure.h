#pragma once

#include <string>

namespace quillharbor {

// The statuses a request ends with when its TLS session could not be set up, beside the HTTP
// client's own (http_status.h). A certificate that fails verification says why.
inline constexpr int kTlsHandshakeFailed = 803;      // no common protocol, a broken peer, ...
inline constexpr int kTlsCertificateExpired = 804;   // past its end of validity
inline constexpr int kTlsUnknownIssuer = 805;        // no trusted authority signed it
inline constexpr int kTlsWrongHostName = 806;        // made out for another host name
inline constexpr int kTlsCertificateRejected = 807;  // any other verification failure

// The status for OpenSSL's verification result (X509_V_OK gives kTlsHandshakeFailed: the
// certificate was fine, the handshake was not).
int tlsFailureStatus(long verifyResult);

// The reason phrase of one of the statuses above ("certificate expired"); empty for others.
std::string tlsFailureText(int status);

}  // namespace quillharbor
