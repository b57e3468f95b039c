#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/scheduler_test_fixture.h"

namespace quillharbor::test {
namespace {

const char* urlOf(const TransferSlot& slot) {
    return slot.Obj() != nullptr ? slot.Obj()->URL.c_str() : "(idle)";
}

TEST_F(SchedulerTest, AHostTakesNoMoreSlotsThanItsCapAndOthersGoOn) {
    startWith("MaxHTTPConns=4\nMaxFTPConns=0\nPause=0\nMaxConnsPerHost=2\n");
    TTask& task = *create("t", "http://h/a");
    queue(task, "http://h/b");
    queue(task, "http://h/c");
    queue(task, "http://g/x");
    tick();
    EXPECT_STREQ(urlOf(http(0)), "http://h/a");
    EXPECT_STREQ(urlOf(http(1)), "http://h/b");
    EXPECT_STREQ(urlOf(http(2)), "http://g/x");
    EXPECT_STREQ(urlOf(http(3)), "(idle)");

    http(0).complete(ObjectState::Done, "a");
    tick();
    EXPECT_STREQ(urlOf(http(0)), "http://h/c") << "the freed slot no longer counts";
}

TEST_F(SchedulerTest, WithoutACapOneHostTakesEverySlot) {
    startWith("MaxHTTPConns=3\nMaxFTPConns=0\nPause=0\n");
    TTask& task = *create("t", "http://h/a");
    queue(task, "http://h/b");
    queue(task, "http://h/c");
    tick();
    EXPECT_STREQ(urlOf(http(2)), "http://h/c");
}

TEST_F(SchedulerTest, AHeldHostWaitsInTheQueueAndShowsInTheStatusText) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\n");
    TTask& task = *create("t", "http://h/a");
    queue(task, "http://h/b");
    queue(task, "http://g/x");
    HostTable& hosts = state().Queue.hosts();
    hosts.holdUntil(hosts.intern("http://h"), HostTable::Clock::now() + std::chrono::minutes(5));
    tick(10);  // a statistics step
    EXPECT_STREQ(urlOf(http(0)), "http://g/x");
    EXPECT_STREQ(urlOf(http(1)), "(idle)");
    EXPECT_EQ(state().Queue.head()->URL, "http://h/a");
    EXPECT_THAT(m_view.status[4], ::testing::MatchesRegex("held back: http://h (300|29[0-9]) s"));
}

// A run cut short leaves its holds in the program directory; the next run still waits.
TEST_F(SchedulerTest, AHoldOutlivesTheRunAndEndsWithIt) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\n");
    HostTable& hosts = state().Queue.hosts();
    hosts.holdUntil(hosts.intern("http://h"), HostTable::Clock::now() + std::chrono::minutes(5));
    ASSERT_TRUE(engine().SaveAtClose());
    ASSERT_TRUE(std::filesystem::exists(m_dir / "HeldHosts.txt"));

    start().LoadAllTasks();
    const HostTable::Id h = state().Queue.hosts().intern("http://h");
    EXPECT_FALSE(state().Queue.hosts().admits(h, HostTable::Clock::now(), 0));
    EXPECT_TRUE(
        state().Queue.hosts().admits(h, HostTable::Clock::now() + std::chrono::seconds(301), 0));

    ASSERT_TRUE(start().SaveAtClose());  // a run with no hold
    EXPECT_FALSE(std::filesystem::exists(m_dir / "HeldHosts.txt"));
}

}  // namespace
}  // namespace quillharbor::test
