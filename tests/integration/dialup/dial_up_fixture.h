#pragma once

// An engine with real HTTP slots and the real dial-up module, in the tests' private network:
// the scheduler on its 200 ms timer and the loop driven in short steps.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clients/network_slot_factory.h"
#include "dialup/private_network.h"
#include "engine/dial_up_library.h"
#include "engine/engine.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"
#include "engine/null_link_intake.h"
#include "engine/null_link_rewrite_queue.h"
#include "net/http_servers.h"

namespace quillharbor::test {

class DialUpView final : public NullEngineView {
public:
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }
    void SetStatusText(int pane, const std::string& text) override {
        if (pane == 1) {
            panes.push_back(text);
        }
    }

    std::vector<std::string> notifications;
    std::vector<std::string> panes;  // pane 1, every text in turn
};

class DialUpEngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        engine.reset();
        loop.processPending();
        for (const std::string& link : m_links) {
            ip({"link", "del", link}, true);
        }
    }

    // The engine over settings, its dial-up detection run, its scheduler started.
    void start(const std::string& settings, const std::string& module = QUILLHARBOR_DIALWATCH) {
        std::ofstream(programDir.path() + "/Quillharbor.ini") << "[General]\n" << settings;
        dialUp = std::make_unique<DialUpLibrary>(module);
        engine = std::make_unique<Engine>(EngineServices{.loop = loop,
                                                         .view = view,
                                                         .drop = drop,
                                                         .dialUp = *dialUp,
                                                         .intake = intake,
                                                         .rewriter = rewriter,
                                                         .slots = &factory},
                                          programDir.path());
        GlobalOptions& options = engine->globalOptions();
        options.TaskRoot = programDir.make("downloads") + "/";
        options.MaxHTTPConns = 2;
        options.MaxFTPConns = 0;
        engine->ApplySettings();
        engine->DetectDialup();
        engine->StartScheduler();
    }
    // A running task of the document at url alone.
    TTask* createTask(const std::string& name, const std::string& url) {
        engine->PrepareNewTaskParams();
        NewTaskParams& params = engine->newTaskParams();
        params.Name = name;
        params.URL = url;
        params.StartAtOnce = true;
        params.MaxLevels = 1;
        params.MaxLevelsInf = false;
        return engine->CreateTask();
    }
    // Drives the loop until done says so, for at most ten seconds.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            loop.runOnce(std::chrono::milliseconds(20));
        }
        return done();
    }
    // A link that is up: a dummy one, or a point-to-point tun link where the kernel has no
    // dummy links. It goes with the test.
    bool addLink(const std::string& name) {
        m_links.push_back(name);
        return (ip({"link", "add", name, "type", "dummy"}, true) ||
                ip({"tuntap", "add", "dev", name, "mode", "tun"})) &&
               ip({"link", "set", name, "up"});
    }

    const PrivateNetwork& network = PrivateNetwork::instance();
    HttpServers& servers = HttpServers::instance();
    TempDirectory programDir;
    MessageLoop loop;
    DialUpView view;
    NullDropSource drop;
    NullLinkIntake intake;
    NullLinkRewriteQueue rewriter;
    NetworkSlotFactory factory{loop};
    std::unique_ptr<DialUpLibrary> dialUp;
    std::unique_ptr<Engine> engine;

private:
    std::vector<std::string> m_links;
};

// For the tests that need the private network: skipped where it could not be had.
class DialUpLinkTest : public DialUpEngineTest {
protected:
    void SetUp() override {
        if (!network.unavailable.empty()) {
            GTEST_SKIP() << network.unavailable;
        }
    }
};

}  // namespace quillharbor::test
