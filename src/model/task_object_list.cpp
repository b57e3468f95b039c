#include "model/task_object_list.h"

#include <bit>
#include <memory>
#include <new>
#include <utility>

#include "platform/huge_blocks.h"

namespace quillharbor {

namespace {

constexpr std::uint32_t kFirstBlock = 8;
constexpr std::uint32_t kLargestBlock = 4096;
// Objects in the blocks that double from kFirstBlock up to kLargestBlock.
constexpr std::uint32_t kGrowingObjects = 2 * kLargestBlock - kFirstBlock;
constexpr std::size_t kGrowingBlocks = std::countr_zero(kLargestBlock / kFirstBlock) + 1;
// Objects in each huge block behind the growing ones.
constexpr std::uint32_t kHugeBlock = kHugeBlockSize / sizeof(TDnObj);

std::uint32_t blockCapacity(std::size_t block) {
    return block < kGrowingBlocks ? kFirstBlock << block : kHugeBlock;
}

TDnObj* allocateBlock(std::size_t block) {
    if (block < kGrowingBlocks) {
        return std::allocator<TDnObj>().allocate(blockCapacity(block));
    }
    return static_cast<TDnObj*>(allocateHugeBlock());
}

void freeBlock(TDnObj* objects, std::size_t block) {
    if (block < kGrowingBlocks) {
        std::allocator<TDnObj>().deallocate(objects, blockCapacity(block));
    } else {
        freeHugeBlock(objects);
    }
}

struct Place {
    std::size_t block;
    std::uint32_t offset;
};

Place placeOf(std::uint32_t ordinal) {
    if (ordinal >= kGrowingObjects) {
        const std::uint32_t beyond = ordinal - kGrowingObjects;
        return {kGrowingBlocks + beyond / kHugeBlock, beyond % kHugeBlock};
    }
    const auto block = static_cast<std::size_t>(std::bit_width(ordinal / kFirstBlock + 1) - 1);
    return {block, ordinal - kFirstBlock * ((1U << block) - 1)};
}

}  // namespace

TaskObjectList::~TaskObjectList() {
    m_sorted.clear();
    for (std::uint32_t ordinal = 0; ordinal < m_count; ++ordinal) {
        std::destroy_at(byOrdinal(ordinal));
    }
    for (std::size_t block = 0; block < m_blocks.size(); ++block) {
        freeBlock(m_blocks[block], block);
    }
}

TDnObj& TaskObjectList::TaskObjInsert(std::string url) {
    const Place place = placeOf(m_count);
    if (place.block == m_blocks.size()) {
        m_blocks.push_back(allocateBlock(place.block));
    }
    TDnObj& inserted = *::new (m_blocks[place.block] + place.offset) TDnObj();
    inserted.URL = std::move(url);
    inserted.Ordinal = m_count++;
    m_sorted.insert(inserted);
    return inserted;
}

TDnObj* TaskObjectList::byOrdinal(std::uint32_t ordinal) const {
    if (ordinal >= m_count) {
        return nullptr;
    }
    const Place place = placeOf(ordinal);
    return m_blocks[place.block] + place.offset;
}

}  // namespace quillharbor
