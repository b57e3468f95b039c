#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/download_queue.h"
#include "model/host_table.h"
#include "model/task.h"

namespace quillharbor {
namespace {

// Runs are what lets the scheduler pass over a stopped task's objects in one step, so every
// removal must leave each run ending where its task's neighbouring objects end.
TEST(QueueRunTest, RunsFollowEveryRemovalAndJoinOnlyAtTheTail) {
    auto a = NewTask("a", "http://a/", "/a/", 0, "", 0, 0, "", "");
    auto b = NewTask("b", "http://b/", "/b/", 0, "", 0, 0, "", "");
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

// A walk for one protocol sees that protocol's objects in queue order and no other; it passes
// over a host that may take no more slots in one step, so runs end where a host does.
TEST(QueueRunTest, EachProtocolIsWalkedInQueueOrderAlone) {
    auto a = NewTask("a", "http://a/", "/a/", 0, "", 0, 0, "", "");
    std::vector<TDnObj*> objects;
    for (const char* url : {"http://a/1", "ftp://a/1", "ftp://a/2", "http://a/2", "a/3", "ftp.a/3",
                            "mailto:x", "http://g/1", "http://a/4"}) {
        objects.push_back(NewDnObj(*a, url, 1));
    }
    DownloadQueue queue;
    for (TDnObj* object : objects) {
        queue.Enqueue(*object);
    }
    const auto walk = [&](Protocol kind) {
        std::vector<std::string> urls;
        for (TDnObj* at = queue.firstOfKind(kind); at != nullptr;
             at = DownloadQueue::nextOfKind(*at))
            urls.push_back(at->URL);
        return urls;
    };
    using Urls = std::vector<std::string>;
    EXPECT_EQ(walk(Protocol::Http),
              (Urls{"http://a/1", "http://a/2", "a/3", "http://g/1", "http://a/4"}));
    EXPECT_EQ(walk(Protocol::Ftp), (Urls{"ftp://a/1", "ftp://a/2", "ftp.a/3"}));
    EXPECT_EQ(DownloadQueue::pastRun(*objects[3]), objects[4]) << "a/3 is of host a, another host";
    EXPECT_EQ(DownloadQueue::pastRun(*objects[7]), objects[8]);
    EXPECT_EQ(queue.hosts().name(objects[7]->Run->Host), "http://g");
    EXPECT_EQ(DownloadQueue::pastRun(*objects[1]), objects[5]);
    queue.QueueRemove(*objects[1]);  // the first of its run
    queue.QueueRemove(*objects[5]);  // a whole run
    EXPECT_EQ(walk(Protocol::Ftp), (Urls{"ftp://a/2"}));
    queue.QueueRemove(*objects[2]);
    EXPECT_EQ(queue.firstOfKind(Protocol::Ftp), nullptr);
    EXPECT_EQ(walk(Protocol::Http).size(), 5u);
    queue.clear();
}

TEST(HostTableTest, AdmitsByHoldAndCap) {
    HostTable hosts;
    const HostTable::Id h = hosts.intern("http://h");
    EXPECT_EQ(hosts.intern("http://g"), h + 1);
    EXPECT_EQ(hosts.intern("http://h"), h);
    const auto now = HostTable::Clock::now();
    hosts.holdUntil(h, now + std::chrono::seconds(2));
    hosts.holdUntil(h, now + std::chrono::seconds(1));  // the longer hold stays
    EXPECT_FALSE(hosts.admits(h, now + std::chrono::milliseconds(1999), 0));
    EXPECT_TRUE(hosts.admits(h, now + std::chrono::seconds(2), 0));
    EXPECT_EQ(hosts.heldHosts(now + std::chrono::seconds(2)).size(), 0u) << "over: forgotten";
    const auto later = now + std::chrono::seconds(3);
    hosts.slotStarted(h);
    EXPECT_TRUE(hosts.admits(h, later, 2));
    hosts.slotStarted(h);
    EXPECT_FALSE(hosts.admits(h, later, 2));
    EXPECT_TRUE(hosts.admits(h, later, 0));
    hosts.slotFreed(h);
    EXPECT_TRUE(hosts.admits(h, later, 2));
}

}  // namespace
}  // namespace quillharbor
