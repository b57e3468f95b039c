#include "net/socket_state.h"

namespace quillharbor {

const char* toString(TSocketState state) {
    switch (state) {
        case TSocketState::wsInvalidState:
            return "wsInvalidState";
        case TSocketState::wsOpened:
            return "wsOpened";
        case TSocketState::wsBound:
            return "wsBound";
        case TSocketState::wsConnecting:
            return "wsConnecting";
        case TSocketState::wsConnected:
            return "wsConnected";
        case TSocketState::wsAccepting:
            return "wsAccepting";
        case TSocketState::wsListening:
            return "wsListening";
        case TSocketState::wsClosed:
            return "wsClosed";
    }
    return "?";
}

}  // namespace quillharbor
