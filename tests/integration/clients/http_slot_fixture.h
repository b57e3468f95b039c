#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "clients/hl_http_client.h"
#include "clients/robots_body.h"
#include "model/message_identity.h"
#include "net/http_servers.h"

namespace quillharbor::test {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// FNV-1a: two files are compared by their checksums as a user would.
inline std::uint64_t checksum(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

// What the slot posted to the main window, in order (offsets from WM_USER).
class Reports : public MessageTarget {
public:
    void onMessage(const Message& message) override {
        offsets.push_back(message.number - WM_USER);
        lParams.push_back(message.lParam);
        if (message.number == messageNumber(EngineMessage::RobotsAnswer)) {
            robotsBodies.push_back(adoptRobotsBody(message.wParam));
        }
    }
    bool has(EngineMessage message) const {
        const unsigned offset = static_cast<unsigned>(message);
        return std::find(offsets.begin(), offsets.end(), offset) != offsets.end();
    }
    std::intptr_t lParamOf(EngineMessage message) const {
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            if (offsets[i] == static_cast<unsigned>(message)) {
                return lParams[i];
            }
        }
        return -1;
    }

    std::vector<unsigned> offsets;
    std::vector<std::intptr_t> lParams;
    std::vector<std::unique_ptr<std::string>> robotsBodies;
};

// One HTTP slot on a real loop against the loopback servers, serving objects of one task whose
// directory is fresh for each test. Objects are started the way the scheduler starts them.
class HttpSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        taskDir = work.make("task") + "/";
        task = &state.TaskList.TaskInsert(
            NewTask("t", "http://127.0.0.1/", taskDir, 0, "", 0, 0, "", ""));
        reportTo = loop.add(reports);
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

    TDnObj& object(const std::string& url) { return *NewDnObj(*task, url, 1); }
    // Starts the object and runs the loop until the slot is free again (about 20 s at most).
    bool fetch(TDnObj& target) {
        if (target.InList == GlobalList::Queue) {
            state.Queue.QueueRemove(target);
        }
        if (target.InList == GlobalList::None) {
            state.SeenList.SeenInsert(target);
        }
        slot->Start(target);
        for (int i = 0; i < 400 && !slot->ready(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        loop.processPending();
        return slot->ready() && slot->Obj() == nullptr;
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
    Reports reports;
    Handle reportTo = 0;
    std::unique_ptr<THLHTTPClient> slot;
};

}  // namespace quillharbor::test
