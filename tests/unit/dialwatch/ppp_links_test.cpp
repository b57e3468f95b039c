#include <gtest/gtest.h>

#include <optional>

#include "ui/qt/dialwatch/ppp_links.h"

namespace quillharbor::test {
namespace {

// A pid file's first line names the daemon; anything that would signal a process group, every
// process or init is refused.
TEST(PidFileTest, OnlyAPlainPidAboveOneIsTaken) {
    for (const char* contents : {"4242\nppp0\n", "4242", "4242\r\n"}) {
        EXPECT_EQ(pidInPidFile(contents), 4242) << '"' << contents << '"';
    }
    for (const char* contents : {"0\n", "1\n", "-1\n", "+4242\n", " 4242\n", "4242 \n", "42x\n",
                                 "\n4242\n", "", "99999999999999999999\n"}) {
        EXPECT_EQ(pidInPidFile(contents), std::nullopt) << '"' << contents << '"';
    }
}

}  // namespace
}  // namespace quillharbor::test
