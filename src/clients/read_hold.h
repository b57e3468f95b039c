#pragma once

#include <chrono>

#include "platform/message_loop.h"
#include "platform/message_target.h"

namespace quillharbor {

class TWSocket;

// Holds a socket's reads for a while, so that a task's transfers keep to its byte rate: the
// socket's notifications pause at once (also inside its loop over waiting data) and resume when
// the time is up; bytes and the peer's close wait in the system meanwhile.
//
// Loop's thread only. The socket must outlive the hold, or be released from it first.
class ReadHold final : private MessageTarget {
public:
    explicit ReadHold(MessageLoop& loop);
    // Resumes a socket still held.
    ~ReadHold() override;
    ReadHold(const ReadHold&) = delete;
    ReadHold& operator=(const ReadHold&) = delete;

    // Pauses socket for wait (at least 1 ms); holding again counts the new wait from now.
    void hold(TWSocket& socket, std::chrono::steady_clock::duration wait);
    // Resumes the held socket now; nothing when none is held.
    void release();
    bool holding() const { return m_socket != nullptr; }

private:
    void onMessage(const Message& message) override;

    MessageLoop& m_loop;
    Handle m_handle;
    unsigned m_timer = 0;
    TWSocket* m_socket = nullptr;
};

}  // namespace quillharbor
