#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace quillharbor {

// What the user asked of one task alone, overriding the configuration for it; an empty text,
// 0 or false leaves the configuration's. Kept beside the task file, so a resume honours it.
struct GrabOptions {
    std::string UserAgent;
    std::string ProxyHost;  // an HTTP proxy for this task's requests, with ProxyPort
    std::string ProxyPort;
    std::int64_t RateLimit = 0;  // bytes per second across the task's transfers
    std::string Include;         // ECMAScript regular expressions searched in absolute URLs
    std::string Exclude;
    bool NoRobots = false;

    bool empty() const {
        return UserAgent.empty() && ProxyHost.empty() && RateLimit == 0 && Include.empty() &&
               Exclude.empty() && !NoRobots;
    }
};

// The include and exclude expressions of a task, compiled once: a link is admitted when it
// matches the include expression (if any) and not the exclude one (if any).
class UrlFilter {
public:
    // Compiles both; an error names the expression that does not compile.
    static Result<UrlFilter> make(const std::string& include, const std::string& exclude);

    bool admits(std::string_view url) const;
    bool active() const { return m_include || m_exclude; }

private:
    std::optional<std::regex> m_include;
    std::optional<std::regex> m_exclude;
};

// Paces a task's reads to a byte rate shared by all its transfers: each block read moves the
// earliest moment of the next read on by its share of a second, so the transfers together
// never run ahead of the rate. Lateness up to 200 ms is made up for, longer idleness is not.
class ReadPace {
public:
    using Clock = std::chrono::steady_clock;

    // How long the reader of bytes, read at now, waits before it reads again; zero without a
    // rate or while the task is behind it.
    Clock::duration charge(std::int64_t rate, std::size_t bytes, Clock::time_point now);

private:
    Clock::time_point m_nextRead{};
};

}  // namespace quillharbor
