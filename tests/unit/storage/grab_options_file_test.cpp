// The file of a task's own options beside its task file.

#include <gtest/gtest.h>

#include "storage/grab_options_file.h"

namespace quillharbor {
namespace {

TEST(GrabOptionsFile, ReadsBackWhatItWroteAndPassesOverKeysItDoesNotKnow) {
    GrabOptions options;
    options.UserAgent = "Agent\\with\nbreak";
    options.ProxyHost = "proxy";
    options.ProxyPort = "3128";
    options.RateLimit = 204800;
    options.Include = "/docs/";
    options.Exclude = "\\.pdf$";
    options.NoRobots = true;
    const std::string text = composeGrabOptions(options);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "UserAgent=Agent\\\\with\\nbreak");
    Result<GrabOptions> read = parseGrabOptions(text + "Later=kept\nRateLimit=1000\n");
    ASSERT_TRUE(read.ok()) << read.error().text;
    EXPECT_EQ(read.value().UserAgent, options.UserAgent);
    EXPECT_EQ(read.value().ProxyHost, "proxy");
    EXPECT_EQ(read.value().ProxyPort, "3128");
    EXPECT_EQ(read.value().RateLimit, 1000);
    EXPECT_EQ(read.value().Include, options.Include);
    EXPECT_EQ(read.value().Exclude, options.Exclude);
    EXPECT_TRUE(read.value().NoRobots);
    EXPECT_EQ(composeGrabOptions({}), "");

    EXPECT_FALSE(parseGrabOptions("RateLimit=fast\r\n").ok());
    EXPECT_FALSE(parseGrabOptions("no equals sign\r\n").ok());
}

}  // namespace
}  // namespace quillharbor
