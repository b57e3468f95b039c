// The seen list, the object list of a large task, the download queue's runs, and the identities
// that reports carry.

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
#include "model/message_identity.h"
#include "model/seen_list.h"
#include "model/task.h"
#include "model/task_list.h"
#include "model/task_object_list.h"
#include "platform/huge_blocks.h"

namespace quillharbor {
namespace {

std::unique_ptr<TTask> taskNamed(const std::string& name) {
    return NewTask(name, "http://h/", "/tmp/" + name + "/", 0, "", 0, 0, "u", "p");
}

// A multimap is the oracle: an insert goes behind the equal keys, a find takes the first. Half
// the keys come from a few, making long runs of equal keys; the others fill and split the index's
// blocks.
TEST(SeenListTest, MatchesAMultimapUnderRandomInsertsAndRemovals) {
    std::mt19937 random(7);
    const std::string few[] = {"http://a/", "http://a/x",  "http://b/",
                               "http://A/", "http://a/x/", "ftp://a/"};
    const auto key = [&] {
        return random() % 2 == 0 ? few[random() % std::size(few)]
                                 : "http://h/" + std::to_string(random() % 1500);
    };
    std::vector<std::unique_ptr<TDnObj>> objects;
    SeenList seen;
    std::multimap<std::string, TDnObj*> oracle;
    for (int step = 0; step < 6000; ++step) {
        std::vector<std::string> checked;
        if (oracle.empty() || random() % 3 != 0) {
            TDnObj& object = *objects.emplace_back(std::make_unique<TDnObj>());
            object.URL = key();
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
            checked.push_back(key());
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

// Identities resolve live tasks and objects, a task's never as an object's nor the reverse, and
// nothing after removal.
TEST(MessageIdentityTest, ResolvesLiveTasksAndObjectsAndNothingAfterRemoval) {
    EngineState state;
    TaskList& tasks = state.TaskList;
    TTask& first = tasks.TaskInsert(taskNamed("a"));
    TTask& second = tasks.TaskInsert(taskNamed("b"));
    TDnObj* object = NewDnObj(second, "http://h/x", 1);
    NewDnObj(second, "http://h/a", 1);
    TDnObj* other = NewDnObj(first, "http://h/x", 1);
    const std::uintptr_t objectId = identityOf(*object);
    const std::uintptr_t taskId = identityOf(second);
    EXPECT_EQ(identityOf(*NewDnObj(*taskNamed("c"), "http://h/x", 1)), 0u) << "outside the list";
    EXPECT_EQ(NewDnObj(second, "http://h/x", 1), nullptr) << "one object per URL";
    EXPECT_EQ(second.Queued, 2);
    EXPECT_EQ(objectByIdentity(tasks, objectId), object);
    EXPECT_EQ(objectByIdentity(tasks, identityOf(*other)), other);
    EXPECT_EQ(taskByIdentity(tasks, taskId), &second);
    EXPECT_EQ(objectByIdentity(tasks, objectId + 5), nullptr);
    EXPECT_EQ(objectByIdentity(tasks, taskId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, objectId), nullptr);
    tasks.TaskRemove(second);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, taskId), nullptr);
    // A new task of the same name with the same URL is another task: serials are not reused.
    NewDnObj(tasks.TaskInsert(taskNamed("b")), "http://h/x", 1);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
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

// Runs are what lets the scheduler pass over a stopped task's objects in one step, so every
// removal must leave each run ending where its task's neighbouring objects end.
TEST(QueueRunTest, RunsFollowEveryRemovalAndJoinOnlyAtTheTail) {
    auto a = taskNamed("a");
    auto b = taskNamed("b");
    TDnObj& a1 = *NewDnObj(*a, "http://a/1", 1);
    TDnObj& a2 = *NewDnObj(*a, "http://a/2", 1);
    TDnObj& a3 = *NewDnObj(*a, "http://a/3", 1);
    TDnObj& a4 = *NewDnObj(*a, "http://a/4", 1);
    TDnObj& b1 = *NewDnObj(*b, "http://b/1", 1);
    DownloadQueue queue;
    EXPECT_EQ(queue.QueuePop(), nullptr);
    for (TDnObj* object : {&a1, &a2, &b1, &a3}) {
        queue.Enqueue(*object);
    }
    EXPECT_EQ(DownloadQueue::pastRun(a1), &b1);
    EXPECT_EQ(DownloadQueue::pastRun(a2), &b1);
    EXPECT_EQ(DownloadQueue::pastRun(b1), &a3);
    EXPECT_EQ(DownloadQueue::pastRun(a3), nullptr);

    queue.QueueRemove(a2);  // the last of its run
    EXPECT_EQ(DownloadQueue::pastRun(a1), &b1);
    queue.QueueRemove(b1);  // a whole run
    EXPECT_EQ(DownloadQueue::pastRun(a1), &a3);
    queue.Enqueue(a4);
    EXPECT_EQ(a4.Run, a3.Run);
    queue.Enqueue(b1);
    queue.Enqueue(a2);
    EXPECT_EQ(DownloadQueue::pastRun(a3), &b1);
    EXPECT_EQ(DownloadQueue::pastRun(b1), &a2);

    EXPECT_EQ(queue.QueuePop(), &a1);
    EXPECT_EQ(a1.Run, nullptr);
    queue.QueueRemove(a4);  // not the last of its run
    EXPECT_EQ(DownloadQueue::pastRun(a3), &b1);
    EXPECT_EQ(a1.InList, GlobalList::None);
    queue.clear();  // frees the runs left (a leak fails the sanitized run)
    EXPECT_EQ(a3.Run, nullptr);
    EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace quillharbor
