#include "net/http_retry_after.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "parser/ascii.h"

namespace quillharbor {

namespace {

using std::chrono::seconds;

// Far past any wait the program honours, and far from overflowing a time point.
constexpr std::int64_t kSaturatedSeconds = 1'000'000'000;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

// A short field of digits ("06", "1994").
std::optional<int> smallNumber(std::string_view text) {
    if (!allDigits(text) || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<unsigned> monthOf(std::string_view name) {
    const auto found = std::find(kMonths.begin(), kMonths.end(), name);
    if (found == kMonths.end()) {
        return std::nullopt;
    }
    return static_cast<unsigned>(found - kMonths.begin()) + 1;
}

// "08:49:37"
std::optional<seconds> clockOf(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto hour = smallNumber(text.substr(0, 2));
    const auto minute = smallNumber(text.substr(3, 2));
    const auto second = smallNumber(text.substr(6, 2));
    // 60 is a leap second.
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    return seconds(*hour * 3600 + *minute * 60 + *second);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        if (end > start || separator != ' ') {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::optional<std::chrono::sys_seconds> dateOf(std::optional<int> year, std::string_view month,
                                               std::optional<int> day, std::string_view clock) {
    const std::optional<unsigned> monthNumber = monthOf(month);
    const std::optional<seconds> time = clockOf(clock);
    if (!year || !monthNumber || !day || !time) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(*monthNumber),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + *time;
}

bool endsWithComma(std::string_view word) {
    return word.size() > 1 && word.back() == ',';
}

std::optional<std::chrono::sys_seconds> httpDate(std::string_view value) {
    const std::vector<std::string_view> words = split(value, ' ');
    // Sun, 06 Nov 1994 08:49:37 GMT
    if (words.size() == 6 && endsWithComma(words[0]) && words[5] == "GMT" && words[3].size() == 4) {
        return dateOf(smallNumber(words[3]), words[2], smallNumber(words[1]), words[4]);
    }
    // Sunday, 06-Nov-94 08:49:37 GMT
    if (words.size() == 4 && endsWithComma(words[0]) && words[3] == "GMT") {
        const std::vector<std::string_view> date = split(words[1], '-');
        if (date.size() != 3 || date[2].size() != 2) {
            return std::nullopt;
        }
        // Two-digit years from 70 on are of the last century.
        std::optional<int> year = smallNumber(date[2]);
        if (year) {
            *year += *year >= 70 ? 1900 : 2000;
        }
        return dateOf(year, date[1], smallNumber(date[0]), words[2]);
    }
    // Sun Nov  6 08:49:37 1994
    if (words.size() == 5 && !endsWithComma(words[0]) && words[4].size() == 4) {
        return dateOf(smallNumber(words[4]), words[1], smallNumber(words[2]), words[3]);
    }
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<seconds> retryAfterWait(std::string_view value,
                                      std::chrono::system_clock::time_point now) {
    value = trimmed(value);
    if (allDigits(value)) {
        std::int64_t count = 0;
        for (const char c : value) {
            count = std::min(count * 10 + (c - '0'), kSaturatedSeconds);
        }
        return seconds(count);
    }
    const std::optional<std::chrono::sys_seconds> date = httpDate(value);
    if (!date) {
        return std::nullopt;
    }
    const auto wait = std::chrono::ceil<seconds>(*date - now);
    return std::max(wait, seconds(0));
}

std::optional<std::string> lastRetryAfter(const std::deque<std::string>& headerLines) {
    std::optional<std::string> value;
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (line.starts_with("HTTP/")) {
            value.reset();
        } else if (colon != std::string::npos &&
                   equalsIgnoringAsciiCase(trimmed(std::string_view(line).substr(0, colon)),
                                           "retry-after")) {
            value = std::string(trimmed(std::string_view(line).substr(colon + 1)));
        }
    }
    return value;
}

}  // namespace quillharbor
