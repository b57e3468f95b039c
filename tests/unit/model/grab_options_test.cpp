// A task's own expressions and the pace of its reads.

#include <gtest/gtest.h>

#include "model/grab_options.h"

namespace quillharbor {
namespace {

using namespace std::chrono_literals;

TEST(GrabOptions, FilterAdmitsWhatIncludeFindsAndExcludeDoesNot) {
    const UrlFilter filter = UrlFilter::make("/docs/", "\\.pdf$").value();
    EXPECT_TRUE(filter.admits("http://h/docs/a.html"));
    EXPECT_FALSE(filter.admits("http://h/docs/a.pdf"));
    EXPECT_FALSE(filter.admits("http://h/blog/a.html"));
    EXPECT_FALSE(UrlFilter::make("", "").value().active());
    EXPECT_FALSE(UrlFilter::make("", "[").ok());
}

TEST(GrabOptions, PaceSpreadsTheTasksBytesOverItsRateWithoutCreditForIdleTime) {
    ReadPace pace;
    const auto start = ReadPace::Clock::time_point{} + 1h;
    // 1000 bytes a second: 100 bytes are a tenth of a second, too short alone to wait for.
    EXPECT_EQ(pace.charge(1000, 5, start), ReadPace::Clock::duration{});
    EXPECT_EQ(pace.charge(1000, 100, start), 105ms);
    // A second transfer of the task reading at the same moment waits behind the first.
    EXPECT_EQ(pace.charge(1000, 100, start), 205ms);
    // A reader late by a little makes up for it; after a long pause only for that little.
    EXPECT_EQ(pace.charge(1000, 100, start + 255ms), 50ms);
    EXPECT_EQ(pace.charge(1000, 1000, start + 10s), 800ms);
    EXPECT_EQ(pace.charge(0, 1000000, start + 10s), ReadPace::Clock::duration{});
}

}  // namespace
}  // namespace quillharbor
