#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "model/task_object_list.h"
#include "platform/huge_blocks.h"

namespace quillharbor {
namespace {

std::string urlOf(std::uint32_t number) {
    char url[32];
    std::snprintf(url, sizeof url, "http://h/%06u", number);
    return url;
}

// The growing blocks hold 8,184 objects, a huge block about 7,900: a large task's objects spread
// over both kinds, inserted out of URL order, stay found by ordinal and walked in URL order.
TEST(TaskObjectListTest, ObjectsInHugeBlocksKeepTheirOrdinalsAndOrder) {
    constexpr std::uint32_t kCount = 20000;
    const std::size_t hugeBefore = hugeBlockBytesInUse();
    {
        TaskObjectList objects;
        for (std::uint32_t ordinal = 0; ordinal < kCount; ++ordinal) {
            objects.TaskObjInsert(urlOf(ordinal * 7 % kCount));
        }
        EXPECT_EQ(hugeBlockBytesInUse() - hugeBefore, 2 * kHugeBlockSize);
        for (std::uint32_t ordinal = 0; ordinal < kCount; ++ordinal) {
            const TDnObj* object = objects.byOrdinal(ordinal);
            ASSERT_NE(object, nullptr);
            ASSERT_EQ(object->Ordinal, ordinal);
            ASSERT_EQ(object->URL, urlOf(ordinal * 7 % kCount));
        }
        EXPECT_EQ(objects.byOrdinal(kCount), nullptr);
        std::uint32_t walked = 0;
        for (const TDnObj& object : objects) {
            ASSERT_EQ(object.URL, urlOf(walked++));
        }
        EXPECT_EQ(walked, kCount);
    }
    EXPECT_EQ(hugeBlockBytesInUse(), hugeBefore);
}

}  // namespace
}  // namespace quillharbor
