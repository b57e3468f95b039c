#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "net/http_retry_after.h"

namespace quillharbor {
namespace {

using std::chrono::seconds;

// 1994-11-06 08:49:00 UTC: 37 seconds before the example date of every form.
const std::chrono::system_clock::time_point kNow =
    std::chrono::sys_days(std::chrono::year(1994) / 11 / 6) + std::chrono::hours(8) +
    std::chrono::minutes(49);

TEST(HttpRetryAfterTest, ReadsSecondsAndTheThreeDateForms) {
    const struct {
        const char* value;
        std::optional<seconds> wait;
    } cases[] = {
        {"2", seconds(2)},
        {" 120 ", seconds(120)},
        {"0", seconds(0)},
        {"99999999999999999999", seconds(1'000'000'000)},  // saturates: still far too long
        {"Sun, 06 Nov 1994 08:49:37 GMT", seconds(37)},
        {"Sunday, 06-Nov-94 08:49:37 GMT", seconds(37)},
        {"Sun Nov  6 08:49:37 1994", seconds(37)},
        {"Sun, 06 Nov 1994 09:49:37 GMT", seconds(3637)},
        {"Sun, 06 Nov 1994 08:00:00 GMT", seconds(0)},  // past: no wait
        {"Thu, 01 Jan 1970 00:00:00 GMT", seconds(0)},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"2.5", std::nullopt},
        {"soon", std::nullopt},
        {"Sun, 31 Feb 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 CET", std::nullopt},
        {"Sun, 06 Nov 94 08:49:37 GMT", std::nullopt},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(retryAfterWait(each.value, kNow), each.wait) << each.value;
    }
}

TEST(HttpRetryAfterTest, TakesTheHeaderOfTheLastResponseOnly) {
    const std::deque<std::string> redirected = {"HTTP/1.1 503 Busy", "Retry-After: 9",
                                                "HTTP/1.1 429 Slow down", "retry-after :  3"};
    EXPECT_EQ(lastRetryAfter(redirected), "3");
    const std::deque<std::string> lastHasNone = {"HTTP/1.1 302 Found", "Retry-After: 9",
                                                 "Location: /x", "HTTP/1.1 429 Slow down"};
    EXPECT_EQ(lastRetryAfter(lastHasNone), std::nullopt);
}

}  // namespace
}  // namespace quillharbor
