#include "clients/read_hold.h"

#include "net/wsocket.h"

namespace quillharbor {

ReadHold::ReadHold(MessageLoop& loop) : m_loop(loop), m_handle(loop.add(*this)) {}

ReadHold::~ReadHold() {
    release();
    m_loop.remove(m_handle);
}

void ReadHold::hold(TWSocket& socket, std::chrono::steady_clock::duration wait) {
    if (m_socket != nullptr) {
        // The earlier wait ends before the new one: only the new one counts.
        m_loop.stopTimer(m_timer);
    }
    m_socket = &socket;
    m_socket->Pause();
    const auto period =
        std::max(std::chrono::ceil<std::chrono::milliseconds>(wait), std::chrono::milliseconds(1));
    m_timer = m_loop.startTimer(m_handle, period);
}

void ReadHold::release() {
    if (m_socket == nullptr) {
        return;
    }
    m_loop.stopTimer(m_timer);
    m_timer = 0;
    TWSocket* socket = m_socket;
    m_socket = nullptr;
    socket->Resume();
}

void ReadHold::onMessage(const Message& message) {
    if (message.number == WM_TIMER && message.wParam == m_timer) {
        release();
    }
}

}  // namespace quillharbor
