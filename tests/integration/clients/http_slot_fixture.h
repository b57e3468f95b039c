#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clients/hl_http_client.h"
#include "net/http_servers.h"

namespace quillharbor::test {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// One HTTP slot on a real loop against the loopback servers, serving objects of one task with a
// fresh directory, started the way the scheduler starts them. What the slot posts to the main
// window is kept in order (offsets from WM_USER).
class HttpSlotTest : public ::testing::Test, public MessageTarget {
protected:
    void SetUp() override {
        taskDir = work.make("task") + "/";
        task = &state.TaskList.TaskInsert(NewTask("t", "http://h/", taskDir, 0, "", 0, 0, "", ""));
        reportTo = loop.add(*this);
        slot = std::make_unique<THLHTTPClient>(
            loop, 0, SlotContext{"Mozilla/3.0(compatible)", reportTo, &state});
    }
    void TearDown() override {
        slot.reset();
        loop.remove(reportTo);
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }
    void onMessage(const Message& message) override {
        // The word that the slot is free again follows every request: the tests look at the rest.
        if (message.number == messageNumber(EngineMessage::AdmitObjects)) {
            return;
        }
        reports.push_back(message.number - WM_USER);
        lParams.push_back(message.lParam);
        if (message.number == messageNumber(EngineMessage::RobotsAnswer)) {
            robotsBodies.push_back(state.RobotsBodies.take(message.wParam));
        }
    }
    // The lParam of the first report of this kind; -1 when there is none.
    std::intptr_t reported(EngineMessage message) const {
        const auto at = std::find(reports.begin(), reports.end(), static_cast<unsigned>(message));
        return at == reports.end() ? -1 : lParams[at - reports.begin()];
    }

    TDnObj& object(const std::string& url) { return *NewDnObj(*task, url, 1); }
    void start(TDnObj& target) {
        if (target.InList == GlobalList::Queue) {
            state.Queue.QueueRemove(target);
        }
        if (target.InList == GlobalList::None) {
            state.SeenList.SeenInsert(target);
        }
        slot->Start(target);
    }
    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        loop.processPending();
        return done();
    }
    // Starts the object and runs the loop until the slot is free again (about 20 s at most).
    bool fetch(TDnObj& target) {
        start(target);
        return runUntil([this] { return slot->ready(); }) && slot->Obj() == nullptr;
    }
    std::string local(const TDnObj& target) const { return readFile(taskDir + target.LocalName); }
    static std::string at(std::uint16_t port, const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    HttpServers& servers = HttpServers::instance();
    TempDirectory work;
    std::string taskDir;
    MessageLoop loop;
    EngineState state;
    TTask* task = nullptr;
    Handle reportTo = 0;
    std::unique_ptr<THLHTTPClient> slot;
    std::vector<unsigned> reports;
    std::vector<std::intptr_t> lParams;
    std::vector<std::optional<std::string>> robotsBodies;
};

}  // namespace quillharbor::test
