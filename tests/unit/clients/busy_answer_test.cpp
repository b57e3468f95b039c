#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "clients/busy_answer.h"
#include "model/failure_cause.h"
#include "model/task.h"

namespace quillharbor {
namespace {

using std::chrono::seconds;

TEST(BusyAnswerTest, EachEarlierAnswerDoublesTheWaitUpToTenMinutes) {
    const struct {
        seconds asked;
        unsigned earlier;
        std::optional<seconds> wait;
    } cases[] = {
        {seconds(2), 3, seconds(16)},    {seconds(0), 15, seconds(0)},
        {seconds(600), 0, seconds(600)}, {seconds(601), 0, std::nullopt},
        {seconds(400), 1, std::nullopt}, {seconds(0), 16, std::nullopt},  // busy for ever
    };
    for (const auto& each : cases) {
        EXPECT_EQ(busyAnswerWait(each.asked, each.earlier), each.wait)
            << each.asked.count() << " s after " << each.earlier;
    }
}

// The object comes from a slot: out of the queue, in the seen list.
class BusyAnswerHoldTest : public ::testing::Test {
protected:
    void SetUp() override {
        task = &state.TaskList.TaskInsert(NewTask("t", "http://h/", "/t/", 0, "", 0, 0, "", ""));
        object = NewDnObj(*task, "http://h/a.html", 1);
        state.SeenList.SeenInsert(*object);
        object->State = ObjectState::Retrieving;
    }
    void TearDown() override {
        if (object->InList == GlobalList::Queue) {
            state.Queue.QueueRemove(*object);
        } else {
            state.SeenList.SeenRemove(*object);
        }
    }
    bool answer(int status, std::deque<std::string> header) {
        return holdOnBusyAnswer(state, *object, status, header, "http://redirected/a.html");
    }
    // The seconds the hosts are held back, longest first.
    std::vector<std::pair<std::string, double>> held() {
        std::vector<std::pair<std::string, double>> hosts;
        HostTable& table = state.Queue.hosts();
        const auto now = HostTable::Clock::now();
        for (const auto& [id, until] : table.heldHosts(now)) {
            hosts.emplace_back(table.name(id), std::chrono::duration<double>(until - now).count());
        }
        return hosts;
    }

    EngineState state;
    TTask* task = nullptr;
    TDnObj* object = nullptr;
};

TEST_F(BusyAnswerHoldTest, RequeuesAndHoldsBothHostsTwiceAsLongTheSecondTime) {
    ASSERT_TRUE(answer(429, {"HTTP/1.1 429 Too Many Requests", "Retry-After: 2"}));
    EXPECT_EQ(object->State, ObjectState::Queued);
    EXPECT_EQ(state.Queue.tail(), object);
    auto hosts = held();
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_NEAR(hosts[0].second, 2, 0.5);
    EXPECT_THAT((std::vector{hosts[0].first, hosts[1].first}),
                ::testing::UnorderedElementsAre("http://h", "http://redirected"));

    state.Queue.QueueRemove(*object);
    state.SeenList.SeenInsert(*object);
    ASSERT_TRUE(answer(503, {"HTTP/1.1 503 Busy", "Retry-After: 2"}));
    hosts = held();
    ASSERT_FALSE(hosts.empty());
    EXPECT_NEAR(hosts[0].second, 4, 0.5);
}

TEST_F(BusyAnswerHoldTest, OtherAnswersAndWaitsPastTenMinutesAreSettledAsToday) {
    EXPECT_FALSE(answer(429, {"HTTP/1.1 429 Too Many Requests"}));
    EXPECT_FALSE(answer(503, {"HTTP/1.1 503 Busy", "Retry-After: later"}));
    EXPECT_FALSE(answer(500, {"HTTP/1.1 500 Oops", "Retry-After: 2"}));
    EXPECT_EQ(object->Cause, kCauseNone);
    EXPECT_FALSE(answer(429, {"HTTP/1.1 429 Too Many Requests", "Retry-After: 601"}));
    EXPECT_EQ(object->Cause, kCauseWaitTooLong);
    EXPECT_EQ(object->InList, GlobalList::Seen);
    EXPECT_TRUE(held().empty());
}

}  // namespace
}  // namespace quillharbor
