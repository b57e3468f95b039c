#include "net/ftp_state.h"

namespace quillharbor {

const char* toString(TFtpState state) {
    switch (state) {
        case TFtpState::NotConnected:
            return "not connected";
        case TFtpState::Ready:
            return "ready";
        case TFtpState::BetweenSteps:
            return "between steps";
        case TFtpState::LookingUp:
            return "looking up";
        case TFtpState::Connected:
            return "connected";
        case TFtpState::Aborting:
            return "aborting";
        case TFtpState::WaitingGreeting:
            return "waiting for the greeting";
        case TFtpState::WaitingReply:
            return "waiting for a reply";
    }
    return "?";
}

}  // namespace quillharbor
