#include "net/http_state.h"

namespace quillharbor {

const char* toString(THttpState state) {
    switch (state) {
        case THttpState::httpReady:
            return "httpReady";
        case THttpState::httpNotConnected:
            return "httpNotConnected";
        case THttpState::httpConnected:
            return "httpConnected";
        case THttpState::httpDnsLookup:
            return "httpDnsLookup";
        case THttpState::httpDnsLookupDone:
            return "httpDnsLookupDone";
        case THttpState::httpWaitingHeader:
            return "httpWaitingHeader";
        case THttpState::httpWaitingBody:
            return "httpWaitingBody";
        case THttpState::httpAborting:
            return "httpAborting";
    }
    return "?";
}

}  // namespace quillharbor
