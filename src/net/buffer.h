#pragma once

#include <cstddef>
#include <memory>

namespace quillharbor {

// One chunk of the send-buffer chain: bytes are written at the back and taken from the front.
// When everything written has been taken, the chunk starts over from its beginning, so a chunk
// that is kept for reuse never needs to allocate again.
class TBuffer {
public:
    static constexpr int DefaultSize = 1514;

    // A requested size of 0 or less gives DefaultSize.
    explicit TBuffer(int size = DefaultSize);

    int capacity() const { return m_capacity; }
    int unread() const { return m_writeCount - m_readCount; }
    bool empty() const { return m_writeCount == m_readCount; }

    // Reallocates the storage; unread bytes are kept when they fit, cut to the new size otherwise.
    void setSize(int size);

    // Copies at most capacity - write count bytes; returns how many were taken (0 when full).
    int write(const void* data, int length);

    // The unread bytes: a pointer at the read position and their count (nullptr and 0 if none).
    const char* peek(int& length) const;

    // Marks up to `length` unread bytes as taken; returns how many were.
    int remove(int length);

private:
    std::unique_ptr<char[]> m_data;
    int m_capacity;
    int m_writeCount = 0;
    int m_readCount = 0;
};

}  // namespace quillharbor
