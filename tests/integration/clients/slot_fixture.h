#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/ftp_servers.h"

namespace quillharbor::test {

// One slot of kind Slot on a real loop against the loopback servers, serving objects of one task
// with a fresh directory. What the slot posts to the main window is kept in order (offsets from
// WM_USER); the robots bodies it hands over are taken as the engine takes them.
template <class Slot>
class SlotTest : public ::testing::Test, public MessageTarget {
protected:
    struct Report {
        unsigned offset;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void SetUp() override { reportTo = loop.add(*this); }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }
    void onMessage(const Message& message) override {
        // A slot's word that it is free again follows every request; the reports keep the rest.
        admissionLast = message.number == messageNumber(EngineMessage::AdmitObjects);
        if (admissionLast) {
            freeAtAdmission = slot != nullptr && slot->ready();
            return;
        }
        reports.push_back({message.number - WM_USER, message.wParam, message.lParam});
        if (message.number == messageNumber(EngineMessage::RobotsAnswer)) {
            robotsBodies.push_back(state.RobotsBodies.take(message.wParam));
        }
    }
    // The lParam of the first report of this kind; -1 when there is none.
    std::intptr_t reported(EngineMessage message) const {
        const auto at = std::find_if(reports.begin(), reports.end(), [&](const Report& r) {
            return r.offset == static_cast<unsigned>(message);
        });
        return at == reports.end() ? -1 : at->lParam;
    }

    TDnObj& object(const std::string& url) { return *NewDnObj(*task, url, 1); }
    virtual void start(Slot& on, TDnObj& target) { on.Start(target); }
    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 600 && !done(); ++i) loop.runOnce(std::chrono::milliseconds(50));
        loop.processPending();
        return done();
    }
    // Starts the object on a fresh record and runs the loop until the slot is free again (30 s
    // at most).
    bool fetch(TDnObj& target) {
        reports.clear();
        start(*slot, target);
        return runUntil([this] { return slot->ready(); }) && slot->Obj() == nullptr;
    }
    std::string local(const TDnObj& target) const { return contentsOf(taskDir + target.LocalName); }

    TempDirectory work;
    std::string taskDir = work.make("task") + "/";
    MessageLoop loop;
    EngineState state;
    TTask* task = nullptr;
    Handle reportTo = 0;
    std::unique_ptr<Slot> slot;
    bool admissionLast = false;  // the last message was the word that the slot is free
    bool freeAtAdmission = false;
    std::vector<Report> reports;
    std::vector<std::optional<std::string>> robotsBodies;
};

}  // namespace quillharbor::test
