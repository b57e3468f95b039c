#include <gtest/gtest.h>

#include <optional>

#include "ui/qt/dialwatch/ppp_links.h"

namespace quillharbor::test {
namespace {

// A pid file's first line names the daemon; anything that would signal a process group, every
// process or init is refused.
TEST(PidFileTest, OnlyAPlainPidAboveOneIsTaken) {
    struct Case {
        const char* contents;
        std::optional<pid_t> pid;
    };
    const Case cases[] = {
        {"4242\nppp0\n", 4242},
        {"4242", 4242},
        {"4242\r\n", 4242},
        {"0\n", std::nullopt},
        {"1\n", std::nullopt},
        {"-1\n", std::nullopt},
        {"+4242\n", std::nullopt},
        {" 4242\n", std::nullopt},
        {"4242 \n", std::nullopt},
        {"42x\n", std::nullopt},
        {"\n4242\n", std::nullopt},
        {"", std::nullopt},
        {"99999999999999999999\n", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pidInPidFile(c.contents), c.pid) << '"' << c.contents << '"';
    }
}

}  // namespace
}  // namespace quillharbor::test
