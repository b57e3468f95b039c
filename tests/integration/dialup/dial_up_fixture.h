#pragma once

// The dial-up tests run in a network namespace of their own, entered by main() before any
// thread starts, where they add and remove links named ppp0 and serve HTTP on loopback. The
// PPP daemon is a stand-in script in a private folder, named by the environment the dial-up
// module reads.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "engine/dial_up_library.h"
#include "engine/site_grab.h"
#include "net/http_servers.h"

namespace quillharbor::test {

struct PrivateNetwork {
    // Empty when the namespace is ours; else why the tests that need it are skipped.
    std::string unavailable;
    TempDirectory folder;  // the stand-in daemon, its pid files and what it records

    static PrivateNetwork& instance() {
        static PrivateNetwork network;
        return network;
    }
    const std::string daemonPath = folder / "pppd", runDirectory = folder / "run",
                      signalsPath = folder / "signals";
};

// Runs ip with these arguments, its output dropped; returns whether it exited with 0.
inline bool ip(const std::string& args) {
    return std::system(("ip " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// A stand-in for pppd holding link ppp0: it writes its pid file, and on SIGTERM records the
// signal and ends the link as the daemon does.
class StandInDaemon {
public:
    StandInDaemon() : m_network(PrivateNetwork::instance()) {
        std::ofstream(m_network.daemonPath)
            << "#!/bin/sh\ntrap 'echo TERM >> \"" << m_network.signalsPath
            << "\"; ip link del ppp0; kill $! 2>/dev/null; exit 0' TERM\necho $$ > \""
            << m_network.runDirectory << "/ppp0.pid\"\nwhile :; do sleep 5 & wait $!; done\n";
        std::filesystem::permissions(m_network.daemonPath, std::filesystem::perms::owner_all);
        std::filesystem::create_directories(m_network.runDirectory);
    }
    ~StandInDaemon() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
        }
        std::filesystem::remove(m_network.daemonPath);
    }

    // Starts it in the background, its output dropped (then it keeps no pipe of ctest's open);
    // returns once its pid file is written.
    bool start() {
        const std::string pidFile = m_network.runDirectory + "/ppp0.pid";
        std::filesystem::remove(pidFile);
        return std::system((m_network.daemonPath + " >/dev/null 2>&1 &").c_str()) == 0 &&
               eventually([&] { return static_cast<bool>(std::ifstream(pidFile) >> m_pid); });
    }
    // The signals it recorded, one word a line; waits for one.
    std::string recorded() const {
        eventually([this] { return std::filesystem::exists(m_network.signalsPath); });
        std::ifstream in(m_network.signalsPath);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    const PrivateNetwork& m_network;
    pid_t m_pid = -1;
};

// The engine with the real dial-up module over settings with two HTTP slots, skipped where the
// private network could not be had.
class DialUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!network.unavailable.empty()) {
            GTEST_SKIP() << network.unavailable;
        }
    }
    void TearDown() override {
        grab.reset();
        ip("link del ppp0");
        ip("link del eth7");
    }
    // The engine over these settings, its dial-up detection run.
    void start(const std::string& settings) {
        grab.reset();
        std::ofstream(programDir / "Quillharbor.ini") << "[General]\n" << settings;
        dialUp = std::make_unique<DialUpLibrary>(QUILLHARBOR_DIALWATCH);
        grab = std::make_unique<SiteGrab>(programDir.path(), made(programDir / "downloads/"), 2, 0,
                                          dialUp.get());
    }
    // A link that is up: a dummy one, or a point-to-point tun link where the kernel has no
    // dummy links. The test's links (ppp0, eth7) go with it.
    bool addLink(const std::string& name) {
        return (ip("link add " + name + " type dummy") ||
                ip("tuntap add dev " + name + " mode tun")) &&
               ip("link set " + name + " up");
    }
    // A task for the document at path on the loopback server at port.
    TTask& document(const std::string& name, std::uint16_t port, const std::string& path) {
        TTask* task = grab->createDocumentTask(name, HttpServers::at(port, path));
        return task != nullptr ? *task : throw std::runtime_error("no task " + name);
    }

    const PrivateNetwork& network = PrivateNetwork::instance();
    HttpServers& servers = HttpServers::instance();
    TempDirectory programDir;
    std::unique_ptr<DialUpLibrary> dialUp;
    std::unique_ptr<SiteGrab> grab;
};

}  // namespace quillharbor::test
