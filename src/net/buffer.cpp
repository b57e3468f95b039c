#include "net/buffer.h"

#include <algorithm>
#include <cstring>

namespace quillharbor {

TBuffer::TBuffer(int size) : m_capacity(size > 0 ? size : DefaultSize) {
    m_data = std::make_unique<char[]>(static_cast<std::size_t>(m_capacity));
}

void TBuffer::setSize(int size) {
    const int capacity = size > 0 ? size : DefaultSize;
    auto data = std::make_unique<char[]>(static_cast<std::size_t>(capacity));
    const int kept = std::min(unread(), capacity);
    if (kept > 0)
        std::memcpy(data.get(), m_data.get() + m_readCount, static_cast<std::size_t>(kept));
    m_data = std::move(data);
    m_capacity = capacity;
    m_readCount = 0;
    m_writeCount = kept;
}

int TBuffer::write(const void* data, int length) {
    const int taken = std::clamp(length, 0, m_capacity - m_writeCount);
    if (taken > 0) {
        std::memcpy(m_data.get() + m_writeCount, data, static_cast<std::size_t>(taken));
        m_writeCount += taken;
    }
    return taken;
}

const char* TBuffer::peek(int& length) const {
    length = unread();
    return length > 0 ? m_data.get() + m_readCount : nullptr;
}

int TBuffer::remove(int length) {
    const int taken = std::clamp(length, 0, unread());
    m_readCount += taken;
    if (m_readCount == m_writeCount) {
        m_readCount = 0;
        m_writeCount = 0;
    }
    return taken;
}

}  // namespace quillharbor
