#include "model/grab_options.h"

#include <algorithm>

namespace quillharbor {

namespace {

Result<std::optional<std::regex>> compiled(std::string_view option, const std::string& text) {
    if (text.empty()) {
        return std::optional<std::regex>();
    }
    try {
        return std::optional<std::regex>(std::regex(text, std::regex::ECMAScript));
    } catch (const std::regex_error& error) {
        return Error{std::string(option) + " '" + text +
                     "' is no regular expression: " + error.what()};
    }
}

// A shorter wait is not worth a timer: the clock keeps it, so a later wait makes up for it.
constexpr auto kShortestWait = std::chrono::milliseconds(10);
constexpr auto kCatchUp = std::chrono::milliseconds(200);

}  // namespace

Result<UrlFilter> UrlFilter::make(const std::string& include, const std::string& exclude) {
    Result<std::optional<std::regex>> included = compiled("--include", include);
    if (!included) {
        return included.error();
    }
    Result<std::optional<std::regex>> excluded = compiled("--exclude", exclude);
    if (!excluded) {
        return excluded.error();
    }
    UrlFilter filter;
    filter.m_include = std::move(included).value();
    filter.m_exclude = std::move(excluded).value();
    return filter;
}

bool UrlFilter::admits(std::string_view url) const {
    const auto found = [url](const std::regex& expression) {
        return std::regex_search(url.begin(), url.end(), expression);
    };
    return (!m_include || found(*m_include)) && (!m_exclude || !found(*m_exclude));
}

ReadPace::Clock::duration ReadPace::charge(std::int64_t rate, std::size_t bytes,
                                           Clock::time_point now) {
    if (rate <= 0) {
        return {};
    }
    if (m_nextRead == Clock::time_point{}) {
        m_nextRead = now;  // the first read
    }
    // A reader a little late (timer latency, a busy loop) makes up for it, or the rate would
    // lose a few per cent; a task idle for longer earns nothing, as a burst would break it.
    m_nextRead = std::max(m_nextRead, now - kCatchUp) +
                 std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                     static_cast<double>(bytes) / static_cast<double>(rate)));
    const Clock::duration wait = m_nextRead - now;
    return wait < kShortestWait ? Clock::duration{} : wait;
}

}  // namespace quillharbor
