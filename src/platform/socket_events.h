#pragma once

#include <cstdint>

namespace quillharbor {

// Socket event kinds, as bits of a selection mask and of a readiness message's lParam. The
// values are those of the asynchronous-select interface the socket layer was designed for.
constexpr unsigned FD_READ = 1;
constexpr unsigned FD_WRITE = 2;
constexpr unsigned FD_OOB = 4;
constexpr unsigned FD_ACCEPT = 8;
constexpr unsigned FD_CONNECT = 16;
constexpr unsigned FD_CLOSE = 32;
constexpr unsigned FD_ALL_EVENTS = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// lParam of a readiness message: the event kind in the low 16 bits, an errno value (0 for none)
// in the high 16 bits.
constexpr std::intptr_t makeSelectReply(unsigned event, unsigned error) {
    return static_cast<std::intptr_t>(((error & 0xFFFFu) << 16) | (event & 0xFFFFu));
}
constexpr unsigned selectReplyEvent(std::intptr_t lParam) {
    return static_cast<unsigned>(lParam) & 0xFFFFu;
}
constexpr unsigned selectReplyError(std::intptr_t lParam) {
    return (static_cast<unsigned>(lParam) >> 16) & 0xFFFFu;
}

}  // namespace quillharbor
