#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/download_queue.h"
#include "model/host_excl_list.h"
#include "model/seen_list.h"
#include "model/task.h"
#include "model/task_list.h"

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
    EXPECT_EQ(tasks.TaskFind("bb"), nullptr);

    // Removing the first of two equal names leaves the second findable.
    std::unique_ptr<TTask> removed = tasks.TaskRemove(firstB);
    EXPECT_EQ(removed.get(), &firstB);
    EXPECT_EQ(tasks.TaskFind("b"), &secondB);
    EXPECT_EQ(secondB.Next, nullptr);
    EXPECT_EQ(tasks.head()->Next, &secondB);
    EXPECT_EQ(secondB.Prev, tasks.head());
}

// The plain list operations, walked element by element, as the oracle for the indexed
// lists: insert walks from the head while the key is >= the current one; find returns the
// first element with the key.
class WalkingOracle {
public:
    void insert(int id, const std::string& key) {
        std::size_t at = 0;
        while (at < m_items.size() && key >= m_items[at].key) {
            ++at;
        }
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), Item{id, key});
    }
    int find(const std::string& key) const {
        for (const Item& item : m_items) {
            if (item.key == key) {
                return item.id;
            }
            if (item.key > key) {
                break;
            }
        }
        return -1;
    }
    void remove(int id) {
        std::erase_if(m_items, [id](const Item& item) { return item.id == id; });
    }
    std::vector<int> order() const {
        std::vector<int> ids;
        for (const Item& item : m_items) {
            ids.push_back(item.id);
        }
        return ids;
    }

private:
    struct Item {
        int id;
        std::string key;
    };
    std::vector<Item> m_items;
};

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

TEST_P(SeenListTest, MatchesTheWalkingListUnderRandomInsertsAndRemovals) {
    std::mt19937 random(7);
    const std::vector<std::string> keys = GetParam()();
    std::vector<std::unique_ptr<TDnObj>> objects;
    SeenList seen;
    WalkingOracle oracle;
    std::vector<int> inList;

    for (int step = 0; step < 6000; ++step) {
        const bool insert = inList.empty() || random() % 3 != 0;
        std::vector<std::string> checked;
        if (insert) {
            auto object = std::make_unique<TDnObj>();
            object->URL = keys[random() % keys.size()];
            seen.SeenInsert(*object);
            oracle.insert(static_cast<int>(objects.size()), object->URL);
            inList.push_back(static_cast<int>(objects.size()));
            checked.push_back(object->URL);
            objects.push_back(std::move(object));
        } else {
            const std::size_t pick = random() % inList.size();
            TDnObj& object = *objects[static_cast<std::size_t>(inList[pick])];
            TDnObj* expectedNext = object.QueueNext;
            EXPECT_EQ(seen.SeenRemove(object), expectedNext);
            oracle.remove(inList[pick]);
            inList.erase(inList.begin() + static_cast<std::ptrdiff_t>(pick));
            checked.push_back(object.URL);
            // Out of the list its key may change: the index must not read it any more.
            object.URL = "~left";
        }
        for (int i = 0; i < 6; ++i) {
            checked.push_back(keys[random() % keys.size()]);
        }
        for (const std::string& key : checked) {
            const int expected = oracle.find(key);
            const TDnObj* expectedObject =
                expected < 0 ? nullptr : objects[static_cast<std::size_t>(expected)].get();
            ASSERT_EQ(seen.SeenFind(key), expectedObject) << key << " at step " << step;
        }
    }
    std::unordered_map<const TDnObj*, int> ids;
    for (std::size_t id = 0; id < objects.size(); ++id) {
        ids[objects[id].get()] = static_cast<int>(id);
    }
    std::vector<int> order;
    const TDnObj* previous = nullptr;
    for (const TDnObj& object : seen) {
        EXPECT_EQ(object.QueuePrev, previous);
        previous = &object;
        order.push_back(ids.at(&object));
    }
    EXPECT_EQ(order, oracle.order());
    EXPECT_EQ(seen.size(), inList.size());
}

INSTANTIATE_TEST_SUITE_P(Keys, SeenListTest, ::testing::Values(&fewKeys, &manyKeys));

TEST(DownloadQueueTest, IsFirstInFirstOutAndRemovesAnywhere) {
    TDnObj a, b, c;
    DownloadQueue queue;
    EXPECT_EQ(queue.QueuePop(), nullptr);

    queue.Enqueue(a);
    queue.QueueRemove(a);
    EXPECT_EQ(queue.head(), nullptr);
    EXPECT_EQ(queue.tail(), nullptr);
    queue.Enqueue(b);
    EXPECT_EQ(queue.head(), &b);
    EXPECT_EQ(queue.tail(), &b);
    EXPECT_EQ(b.QueuePrev, nullptr);

    queue.Enqueue(a);
    queue.Enqueue(c);
    queue.QueueRemove(a);  // middle
    EXPECT_EQ(b.QueueNext, &c);
    EXPECT_EQ(c.QueuePrev, &b);
    queue.Enqueue(a);
    queue.QueueRemove(a);  // tail
    EXPECT_EQ(queue.tail(), &c);
    EXPECT_EQ(c.QueueNext, nullptr);

    EXPECT_EQ(queue.QueuePop(), &b);
    EXPECT_EQ(c.QueuePrev, nullptr);
    EXPECT_EQ(b.InList, GlobalList::None);
    EXPECT_EQ(queue.QueuePop(), &c);
    EXPECT_TRUE(queue.empty());
}

TEST(HostExclListTest, AddsOncePerHostAndFindsExactly) {
    HostExclList hosts;
    hosts.HostExclAdd("http://h", 1);
    hosts.HostExclAdd("http://h", 0);
    hosts.HostExclAdd("http://h:81", 0);

    ASSERT_NE(hosts.HostExclFind("http://h"), nullptr);
    EXPECT_EQ(hosts.HostExclFind("http://h")->RobotsDone, 1);
    EXPECT_EQ(hosts.HostExclFind("http://h:81")->RobotsDone, 0);
    EXPECT_EQ(hosts.HostExclFind("http://H"), nullptr);
    hosts.HostExclClear();
    EXPECT_EQ(hosts.HostExclFind("http://h"), nullptr);
}

}  // namespace
}  // namespace quillharbor
