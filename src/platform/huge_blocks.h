#pragma once

#include <cstddef>

namespace quillharbor {

// Memory in blocks of 2 MiB aligned on 2 MiB, which the kernel may back with one huge page each:
// a structure of hundreds of megabytes (the records of a task's million objects) then costs a
// page fault and a TLB entry per 2 MiB instead of 512 of each. Safe on any thread.
inline constexpr std::size_t kHugeBlockSize = std::size_t{2} << 20;

// A new block, its bytes zero; throws std::bad_alloc, as new does, when no memory is left.
void* allocateHugeBlock();
void freeHugeBlock(void* block);

// The bytes of the blocks allocated and not freed, for memory figures: malloc's do not count
// them.
std::size_t hugeBlockBytesInUse();

}  // namespace quillharbor
