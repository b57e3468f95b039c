#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "platform/message_loop.h"

namespace quillharbor {

// Records what it receives and optionally reacts, so a test can do things inside a handler.
class Recorder : public MessageTarget {
public:
    explicit Recorder(MessageLoop& loop) : m_loop(loop), m_handle(loop.add(*this)) {}
    ~Recorder() override { m_loop.remove(m_handle); }

    void onMessage(const Message& message) override {
        received.push_back(message);
        if (onReceive) {
            onReceive(message);
        }
    }
    Handle handle() const { return m_handle; }

    std::vector<Message> received;
    std::function<void(const Message&)> onReceive;

private:
    MessageLoop& m_loop;
    Handle m_handle;
};

class LoopTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(loop.targetCount(), 0u) << "a target was left registered";
        EXPECT_EQ(loop.timerCount(), 0u) << "a timer was left running";
        EXPECT_EQ(loop.watchedSocketCount(), 0u) << "a socket was left watched";
    }

    // Drives the loop with its own waits until done() holds; false when it never did.
    bool runUntil(const std::function<bool()>& done, int rounds = 200) {
        for (int i = 0; i < rounds && !done(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        return done();
    }

    MessageLoop loop;
};

}  // namespace quillharbor
