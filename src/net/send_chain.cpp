#include "net/send_chain.h"

namespace quillharbor {

void SendChain::append(const void* data, int length) {
    const char* bytes = static_cast<const char*>(data);
    if (m_chunks.empty())
        m_chunks.emplace_back(m_chunkSize);
    while (length > 0) {
        const int taken = m_chunks.back().write(bytes, length);
        bytes += taken;
        length -= taken;
        if (length > 0)
            m_chunks.emplace_back(m_chunkSize);
    }
}

const char* SendChain::front(int& length) {
    length = 0;
    while (!m_chunks.empty()) {
        const char* bytes = m_chunks.front().peek(length);
        if (bytes != nullptr || m_chunks.size() == 1)
            return bytes;
        m_chunks.pop_front();
    }
    return nullptr;
}

int SendChain::gather(iovec* runs, int max, std::size_t& bytes) const {
    int count = 0;
    for (const TBuffer& chunk : m_chunks) {
        if (count == max)
            break;
        int length = 0;
        const char* data = chunk.peek(length);
        if (data == nullptr)
            continue;
        runs[count++] = iovec{const_cast<char*>(data), static_cast<std::size_t>(length)};
        bytes += static_cast<std::size_t>(length);
    }
    return count;
}

void SendChain::consume(int length) {
    while (!m_chunks.empty()) {
        length -= m_chunks.front().remove(length);
        if (length <= 0 || m_chunks.size() == 1)
            return;
        m_chunks.pop_front();
    }
}

}  // namespace quillharbor
