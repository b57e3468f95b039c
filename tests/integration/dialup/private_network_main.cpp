// Enters a network namespace of its own before any thread starts (each test runs in a process
// of its own, so each gets a fresh one), brings its loopback up and points the dial-up module
// at a private folder for the stand-in PPP daemon.

#include <gtest/gtest.h>
#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "dialup/dial_up_fixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    auto& network = quillharbor::test::PrivateNetwork::instance();
    ::setenv("QUILLHARBOR_PPPD", network.daemonPath.c_str(), 1);
    ::setenv("QUILLHARBOR_PPP_RUN_DIR", network.runDirectory.c_str(), 1);
    if (::unshare(CLONE_NEWNET) != 0) {
        network.unavailable =
            std::string("no network namespace of our own: ") + std::strerror(errno);
    } else if (!quillharbor::test::ip("link set lo up")) {
        network.unavailable = "the ip program cannot bring the namespace's loopback up";
    }
    return RUN_ALL_TESTS();
}
