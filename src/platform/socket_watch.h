#pragma once

#include <cstdint>
#include <vector>

#include "platform/message.h"

namespace quillharbor {

// What the owner knows of a socket it starts to watch. Unknown has the watch ask the system;
// the others spare those calls on the path every transfer takes.
enum class SocketRole { Unknown, NotStream, Listening, Connecting, Connected };

// The async-select state of one watched socket: which event kinds are wanted, which of them
// may be reported now, and how the socket's readiness (epoll bits) turns into event replies.
//
// A kind is reported once and then stays quiet: FD_READ, FD_WRITE, FD_OOB and FD_ACCEPT until
// reenable(), FD_CONNECT and FD_CLOSE for the rest of the watch. The owner registers the socket
// edge-triggered and registers it again after a reenable() that must look at the readiness of
// the moment, so a condition whose edge passed while its kind was quiet is not lost. A stream
// socket stays registered for input while FD_READ is quiet: every arrival of bytes is an edge,
// so a reader that emptied the socket needs no new registration to hear of the next bytes.
class SocketWatch {
public:
    // For an Unknown role, looks at the socket once to learn its type and whether it listens or
    // is still to connect, so a listening socket must listen before it is watched.
    SocketWatch(int fd, Handle target, unsigned number, unsigned kinds,
                SocketRole role = SocketRole::Unknown);

    // 0, or the errno value that showed the descriptor is no usable socket.
    int error() const { return m_error; }
    Handle target() const { return m_target; }
    unsigned number() const { return m_number; }

    // Event replies (see makeSelectReply) for the given epoll bits, in the order the socket
    // layer handles them: connect before write, pending data before close.
    std::vector<std::intptr_t> onReadiness(std::uint32_t epollEvents);
    // Allows FD_READ, FD_WRITE, FD_OOB and FD_ACCEPT to be reported again (where wanted).
    void reenable(unsigned kinds);
    // The epoll bits worth waking up for (hang-up and error are always reported by epoll).
    std::uint32_t interest() const;

private:
    SocketRole askRole();
    bool isArmed(unsigned kind) const { return (m_armed & kind) != 0; }
    void report(std::vector<std::intptr_t>& replies, unsigned kind, int error);
    bool hasPendingData() const;
    bool hasPeer() const;
    int takeSocketErrorIf(std::uint32_t epollEvents) const;

    int m_fd;
    Handle m_target;
    unsigned m_number;
    unsigned m_wanted;
    unsigned m_armed;
    int m_error = 0;
    bool m_stream = false;
    bool m_listening = false;
    bool m_connecting = false;
};

}  // namespace quillharbor
