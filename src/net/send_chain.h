#pragma once

#include "net/buffer.h"

#include <cstddef>
#include <deque>

#include <sys/uio.h>

namespace quillharbor {

// Outgoing bytes waiting for the network, in order, as a chain of fixed-size TBuffer chunks.
// Bytes are copied once, into the chunks; the last chunk is kept when drained so that a steady
// sender does not allocate.
class SendChain {
public:
    explicit SendChain(int chunkSize = TBuffer::DefaultSize) : m_chunkSize(chunkSize) {}

    // Copies the bytes behind those already queued.
    void append(const void* data, int length);

    // The oldest unsent bytes and their count; nullptr and 0 when everything was sent. Drained
    // chunks in front are freed on the way, except the last one.
    const char* front(int& length);

    // Up to `max` runs of unsent bytes, oldest first, for one gathering send; returns how many
    // runs there are and adds their length to `bytes`.
    int gather(iovec* runs, int max, std::size_t& bytes) const;

    // Marks the oldest `length` bytes as sent; drained chunks are freed, except the last one.
    void consume(int length);

    // Drops every chunk and every unsent byte.
    void clear() { m_chunks.clear(); }

    std::size_t chunkCount() const { return m_chunks.size(); }

private:
    int m_chunkSize;
    std::deque<TBuffer> m_chunks;
};

}  // namespace quillharbor
