#include <gtest/gtest.h>

#include <memory>

#include "model/download_queue.h"
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
    queue.clear();  // frees the runs left (a leak fails the sanitized run)
    EXPECT_EQ(a3.Run, nullptr);
}

}  // namespace
}  // namespace quillharbor
