#include "net/tls_failure.h"

#include <openssl/x509_vfy.h>

namespace quillharbor {

int tlsFailureStatus(long verifyResult) {
    switch (verifyResult) {
        case X509_V_OK:
            return kTlsHandshakeFailed;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return kTlsCertificateExpired;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return kTlsUnknownIssuer;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return kTlsWrongHostName;
        default:
            return kTlsCertificateRejected;
    }
}

std::string tlsFailureText(int status) {
    switch (status) {
        case kTlsHandshakeFailed:
            return "TLS handshake failed";
        case kTlsCertificateExpired:
            return "certificate expired";
        case kTlsUnknownIssuer:
            return "certificate issuer unknown";
        case kTlsWrongHostName:
            return "certificate for another host name";
        case kTlsCertificateRejected:
            return "certificate not valid";
        default:
            return {};
    }
}

}  // namespace quillharbor
