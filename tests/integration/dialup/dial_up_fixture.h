#pragma once

// The engine of the end-to-end tests with the real dial-up module, in the tests' private
// network.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dialup/private_network.h"
#include "engine/dial_up_library.h"
#include "engine/site_grab.h"
#include "net/http_servers.h"

namespace quillharbor::test {

class DialUpEngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        grab.reset();
        for (const std::string& link : m_links) {
            ip({"link", "del", link}, true);
        }
    }
    // The engine over settings with two HTTP slots, its dial-up detection run.
    void start(const std::string& settings, const std::string& module = QUILLHARBOR_DIALWATCH) {
        grab.reset();
        std::ofstream(programDir.path() + "/Quillharbor.ini") << "[General]\n" << settings;
        dialUp = std::make_unique<DialUpLibrary>(module);
        grab = std::make_unique<SiteGrab>(programDir.path() + "/",
                                          programDir.make("downloads") + "/", 2, 0, dialUp.get());
    }
    // Polls what the loop cannot announce (links, processes), for at most five seconds.
    static bool eventually(const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 500 && !done(); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    std::unique_ptr<DialUpLibrary> dialUp;
    std::unique_ptr<SiteGrab> grab;

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
