#include "parser/host_port.h"

#include <gtest/gtest.h>

namespace quillharbor {
namespace {

TEST(HostPortTest, SplitsAtThePortColonOnly) {
    const struct {
        std::string_view text, host, port;
    } cases[] = {
        {"h", "h", ""},
        {"h:8080", "h", "8080"},
        {"h:", "h", ""},
        {"[::1]", "[::1]", ""},
        {"[::1]:8080", "[::1]", "8080"},
        {"[fe80::1%25lo]:21", "[fe80::1%25lo]", "21"},
        {"[::1", "[::1", ""},  // unclosed: one name, refused later by the look-up
        {"[::1]x:80", "[::1]x:80", ""},
        {"::1", ":", "1"},  // an unbracketed literal is not a URL host
    };
    for (const auto& c : cases) {
        const HostAndPort split = SplitHostPort(c.text);
        EXPECT_EQ(split.host, c.host) << c.text;
        EXPECT_EQ(split.port, c.port) << c.text;
    }
    EXPECT_EQ(HostWithoutBrackets("[::1]"), "::1");
    EXPECT_EQ(HostWithoutBrackets("h"), "h");
    EXPECT_EQ(HostWithoutBrackets("[::1"), "[::1");
}

}  // namespace
}  // namespace quillharbor
