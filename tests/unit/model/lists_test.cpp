#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/download_queue.h"
#include "model/engine_state.h"
#include "model/host_excl_list.h"
#include "model/message_identity.h"
#include "model/seen_list.h"
#include "model/task.h"
#include "model/task_list.h"
#include "model/task_object_list.h"
#include "platform/huge_blocks.h"

namespace quillharbor {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> namesOf(const TaskList& tasks) {
    std::vector<std::string> names;
    for (const TTask& task : tasks) {
        names.push_back(task.Name);
    }
    return names;
}

std::unique_ptr<TTask> taskNamed(const std::string& name) {
    return NewTask(name, "http://h/", "/tmp/" + name + "/", 0, "", 0, 0, "u", "p");
}

TEST(TaskListTest, KeepsNamesSortedWithEqualNamesInInsertionOrder) {
    TaskList tasks;
    TTask& firstB = tasks.TaskInsert(taskNamed("b"));
    tasks.TaskInsert(taskNamed("a"));
    TTask& secondB = tasks.TaskInsert(taskNamed("b"));

    EXPECT_THAT(namesOf(tasks), ElementsAre("a", "b", "b"));
    EXPECT_EQ(firstB.Next, &secondB);
    EXPECT_EQ(tasks.TaskFind("b"), &firstB);
    EXPECT_EQ(tasks.TaskFind("B"), nullptr);

    // Removing the first of two equal names leaves the second findable.
    EXPECT_EQ(tasks.TaskRemove(firstB).get(), &firstB);
    EXPECT_EQ(tasks.TaskFind("b"), &secondB);
    EXPECT_EQ(tasks.head()->Next, &secondB);
    EXPECT_EQ(secondB.Prev, tasks.head());
}

// A few keys make long runs of equal keys; many keys fill and split the index's blocks.
std::vector<std::string> fewKeys() {
    return {"http://a/", "http://a/x", "http://b/", "http://A/", "http://a/x/", "ftp://a/"};
}

std::vector<std::string> manyKeys() {
    std::vector<std::string> keys;
    for (int i = 0; i < 1500; ++i) {
        keys.push_back("http://h/" + std::to_string(i * 7919 % 1500));
    }
    return keys;
}

class SeenListTest : public ::testing::TestWithParam<std::vector<std::string> (*)()> {};

// A multimap is the oracle: an insert goes behind the equal keys, a find takes the first.
TEST_P(SeenListTest, MatchesAMultimapUnderRandomInsertsAndRemovals) {
    std::mt19937 random(7);
    const std::vector<std::string> keys = GetParam()();
    std::vector<std::unique_ptr<TDnObj>> objects;
    SeenList seen;
    std::multimap<std::string, TDnObj*> oracle;
    for (int step = 0; step < 6000; ++step) {
        std::vector<std::string> checked;
        if (oracle.empty() || random() % 3 != 0) {
            TDnObj& object = *objects.emplace_back(std::make_unique<TDnObj>());
            object.URL = keys[random() % keys.size()];
            seen.SeenInsert(object);
            oracle.emplace(object.URL, &object);
            checked.push_back(object.URL);
        } else {
            auto pick = std::next(oracle.begin(), static_cast<long>(random() % oracle.size()));
            TDnObj& object = *pick->second;
            TDnObj* const next = object.QueueNext;
            EXPECT_EQ(seen.SeenRemove(object), next);
            oracle.erase(pick);
            checked.push_back(object.URL);
            // Out of the list its key may change: the index must not read it any more.
            object.URL = "~left";
        }
        for (int i = 0; i < 6; ++i) {
            checked.push_back(keys[random() % keys.size()]);
        }
        for (const std::string& key : checked) {
            const auto first = oracle.lower_bound(key);
            const TDnObj* expected =
                first != oracle.end() && first->first == key ? first->second : nullptr;
            ASSERT_EQ(seen.SeenFind(key), expected) << key << " at step " << step;
        }
    }
    auto expected = oracle.begin();
    const TDnObj* previous = nullptr;
    for (const TDnObj& object : seen) {
        ASSERT_NE(expected, oracle.end());
        EXPECT_EQ(&object, (expected++)->second);
        EXPECT_EQ(object.QueuePrev, previous);
        previous = &object;
    }
    EXPECT_EQ(seen.size(), oracle.size());
}

INSTANTIATE_TEST_SUITE_P(Keys, SeenListTest, ::testing::Values(&fewKeys, &manyKeys));

TEST(HostExclListTest, AddsOncePerHostAndFindsExactly) {
    HostExclList hosts;
    hosts.HostExclAdd("http://h", 1);
    hosts.HostExclAdd("http://h", 0);
    hosts.HostExclAdd("http://h:81", 0);

    ASSERT_NE(hosts.HostExclFind("http://h"), nullptr);
    EXPECT_EQ(hosts.HostExclFind("http://h")->RobotsDone, 1);
    EXPECT_EQ(hosts.HostExclFind("http://H"), nullptr);
    hosts.HostExclClear();
    EXPECT_EQ(hosts.HostExclFind("http://h"), nullptr);
}

TEST(MessageIdentityTest, ResolvesLiveTasksAndObjectsAndNothingAfterRemoval) {
    TaskList tasks;
    TTask& first = tasks.TaskInsert(NewTask("a", "http://h/", "/a/", 0, "", 0, 0, "", ""));
    TTask& second = tasks.TaskInsert(NewTask("b", "http://h/", "/b/", 0, "", 0, 0, "", ""));
    TDnObj* object = NewDnObj(second, "http://h/x", 1);
    NewDnObj(second, "http://h/a", 1);
    TDnObj* other = NewDnObj(first, "http://h/x", 1);
    const std::uintptr_t objectId = identityOf(*object);
    const std::uintptr_t taskId = identityOf(second);
    auto loose = NewTask("c", "http://h/", "/c/", 0, "", 0, 0, "", "");
    EXPECT_EQ(identityOf(*NewDnObj(*loose, "http://h/x", 1)), 0u) << "outside the list: none";
    EXPECT_EQ(NewDnObj(second, "http://h/x", 1), nullptr) << "one object per URL";
    EXPECT_EQ(second.Queued, 2);

    EXPECT_EQ(objectByIdentity(tasks, objectId), object);
    EXPECT_EQ(objectByIdentity(tasks, identityOf(*other)), other);
    EXPECT_EQ(taskByIdentity(tasks, taskId), &second);
    EXPECT_EQ(objectByIdentity(tasks, objectId + 5), nullptr);
    // A task identity is no object identity and the reverse.
    EXPECT_EQ(objectByIdentity(tasks, taskId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, objectId), nullptr);

    tasks.TaskRemove(second);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, taskId), nullptr);
    EXPECT_EQ(objectByIdentity(tasks, identityOf(*other)), other);
    // A new task of the same name with the same URL is another task: serials are not reused.
    NewDnObj(tasks.TaskInsert(NewTask("b", "http://h/", "/b/", 0, "", 0, 0, "", "")), "http://h/x",
             1);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
}

TEST(EngineStateTest, TearsDownWithObjectsStillQueuedAndSeen) {
    auto state = std::make_unique<EngineState>();
    TTask& task = state->TaskList.TaskInsert(NewTask("a", "http://h/", "/a/", 0, "", 0, 0, "", ""));
    state->Queue.Enqueue(*NewDnObj(task, "http://h/1", 1));
    state->SeenList.SeenInsert(*NewDnObj(task, "http://h/2", 1));
    state.reset();  // AddressSanitizer and the object's own check catch a wrong order
}

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
