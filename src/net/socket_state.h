#pragma once

#include <cstdint>

namespace quillharbor {

// wsInvalidState and wsAccepting are part of the published enumeration but never entered.
enum class TSocketState : std::uint8_t {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7,
};

const char* toString(TSocketState state);

enum class TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };
enum class TSocketLingerOnOff { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };
enum class TWSocketOption : unsigned { wsoNoReceiveLoop = 1 };

}  // namespace quillharbor
