#include "net/buffer.h"
#include "net/send_chain.h"

#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

std::string drain(SendChain& chain, int step) {
    std::string out;
    int length = 0;
    while (const char* bytes = chain.front(length)) {
        const int taken = std::min(length, step);
        out.append(bytes, static_cast<std::size_t>(taken));
        chain.consume(taken);
    }
    return out;
}

TEST(TBuffer, WritesUntilFullAndStartsOverWhenDrained) {
    TBuffer buffer(4);
    EXPECT_EQ(buffer.write("abcdef", 6), 4);
    EXPECT_EQ(buffer.write("x", 1), 0);
    EXPECT_EQ(buffer.remove(3), 3);
    int length = 0;
    EXPECT_EQ(std::string(buffer.peek(length), 1), "d");
    EXPECT_EQ(buffer.remove(10), 1);
    EXPECT_EQ(buffer.peek(length), nullptr);
    EXPECT_EQ(length, 0);
    // Drained: the whole capacity is available again.
    EXPECT_EQ(buffer.write("wxyz", 4), 4);
    EXPECT_EQ(TBuffer(0).capacity(), TBuffer::DefaultSize);
}

TEST(TBuffer, ResizingKeepsUnreadBytes) {
    TBuffer buffer(8);
    buffer.write("abcdefgh", 8);
    buffer.remove(2);
    buffer.setSize(16);
    int length = 0;
    EXPECT_EQ(std::string(buffer.peek(length), 6), "cdefgh");
    EXPECT_EQ(buffer.write("ijklmnopqrstuvwxyz", 18), 10);
    buffer.setSize(3);
    const char* kept = buffer.peek(length);
    EXPECT_EQ(std::string(kept, static_cast<std::size_t>(length)), "cde");
}

TEST(SendChain, KeepsOrderAcrossChunksAndReusesTheLastChunk) {
    SendChain chain(5);
    std::string sent;
    for (int i = 0; i < 7; ++i)
        sent += std::string(static_cast<std::size_t>(i + 1), static_cast<char>('a' + i));
    chain.append(sent.data(), static_cast<int>(sent.size()));
    EXPECT_EQ(chain.chunkCount(), (sent.size() + 4) / 5);
    EXPECT_FALSE(chain.empty());
    EXPECT_EQ(drain(chain, 3), sent);
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(chain.chunkCount(), 1u);
    chain.append("xyz", 3);
    EXPECT_EQ(chain.chunkCount(), 1u);
    EXPECT_EQ(drain(chain, 1), "xyz");
    chain.clear();
    EXPECT_EQ(chain.chunkCount(), 0u);
    int length = 7;
    EXPECT_EQ(chain.front(length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST(SendChain, GathersRunsAndConsumesAcrossChunks) {
    SendChain chain(4);
    chain.append("abcdefghij", 10);
    iovec runs[8];
    std::size_t bytes = 0;
    ASSERT_EQ(chain.gather(runs, 2, bytes), 2);
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(std::string(static_cast<char*>(runs[1].iov_base), runs[1].iov_len), "efgh");
    chain.consume(6);
    bytes = 0;
    ASSERT_EQ(chain.gather(runs, 8, bytes), 2);
    EXPECT_EQ(std::string(static_cast<char*>(runs[0].iov_base), runs[0].iov_len), "gh");
    EXPECT_EQ(bytes, 4u);
    chain.consume(4);
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(chain.chunkCount(), 1u);
}

}  // namespace
}  // namespace quillharbor
