#include "platform/huge_blocks.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <new>

namespace quillharbor {

namespace {

std::atomic<std::size_t> g_bytesInUse{0};

}  // namespace

void* allocateHugeBlock() {
    // Twice the size mapped, then the ends trimmed, leaves one aligned block.
    void* mapped = ::mmap(nullptr, 2 * kHugeBlockSize, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugeBlockSize - 1) & ~(kHugeBlockSize - 1);
    if (aligned > start) {
        ::munmap(mapped, aligned - start);
    }
    if (const std::uintptr_t tail = start + kHugeBlockSize - aligned; tail > 0) {
        ::munmap(reinterpret_cast<void*>(aligned + kHugeBlockSize), tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
    // Only a hint: without huge pages the block works the same in small ones.
    ::madvise(block, kHugeBlockSize, MADV_HUGEPAGE);
    g_bytesInUse += kHugeBlockSize;
    return block;
}

void freeHugeBlock(void* block) {
    if (block != nullptr) {
        ::munmap(block, kHugeBlockSize);
        g_bytesInUse -= kHugeBlockSize;
    }
}

std::size_t hugeBlockBytesInUse() {
    return g_bytesInUse;
}

}  // namespace quillharbor
