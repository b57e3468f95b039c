#include "parser/robots_rules.h"

#include <algorithm>

#include "parser/ascii.h"
#include "parser/link_resolver.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

// The value of a "keyword: value" line: from the first byte after the keyword that is neither
// blank, control nor colon, to the next blank or control byte. A trailing comment is cut off at
// the blank before it.
std::string_view valueAfter(std::string_view line, std::size_t keywordLength) {
    std::size_t begin = keywordLength;
    while (begin < line.size() && (isBlankOrControl(line[begin]) || line[begin] == ':')) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < line.size() && !isBlankOrControl(line[end])) {
        ++end;
    }
    return line.substr(begin, end - begin);
}

bool startsAgentRecord(std::string_view line) {
    for (std::string_view keyword :
         {std::string_view("user-agent"), std::string_view("useragent")}) {
        if (KeywordAt(line, keyword)) {
            return line.size() > keyword.size() && valueAfter(line, keyword.size()) == "*";
        }
    }
    return false;
}

}  // namespace

std::string_view ReadLine(std::string_view buffer, std::size_t& position) {
    if (position >= buffer.size()) {
        position = buffer.size();
        return {};
    }
    const std::size_t end = buffer.find_first_of("\r\n", position);
    if (end == std::string_view::npos) {
        const std::string_view line = buffer.substr(position);
        position = buffer.size();
        return line;
    }
    const std::string_view line = buffer.substr(position, end - position);
    const bool crlf = buffer[end] == '\r' && end + 1 < buffer.size() && buffer[end + 1] == '\n';
    position = end + (crlf ? 2 : 1);
    return line;
}

bool KeywordAt(std::string_view line, std::string_view keyword) {
    if (line.size() < keyword.size()) {
        return false;
    }
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (line[i] != keyword[i] && line[i] != static_cast<char>(keyword[i] - 32)) {
            return false;
        }
    }
    return true;
}

void ParseRobotsTxt(std::string_view body, DisallowList& disallow, std::string_view robotsUrl) {
    const std::string base = std::string(robotsUrl) + "/";
    const std::string hostRoot = HostPart(robotsUrl) + "/";
    constexpr std::string_view kDisallow = "disallow";
    bool inStarRecord = false;
    std::size_t position = 0;
    while (position < body.size()) {
        const std::string_view line = ReadLine(body, position);
        if (line.empty()) {
            inStarRecord = false;
        } else if (!inStarRecord) {
            inStarRecord = startsAgentRecord(line);
        } else if (KeywordAt(line, kDisallow) && line.size() > kDisallow.size()) {
            std::string prefix(valueAfter(line, kDisallow.size()));
            if (prefix.empty()) {
                continue;
            }
            ResolveLink(prefix, base);
            // "//other/x", "other.dom/x" or an absolute URL would reach another host's links.
            if (prefix.starts_with(hostRoot)) {
                disallow.insert(std::move(prefix));
            }
        }
    }
}

bool IsExcluded(std::string_view url, const DisallowList& disallow) {
    // The greatest entry not above url is a prefix of it, or else every entry that is a prefix
    // of url is also a prefix of what that entry and url have in common: search again with that.
    std::string_view rest = url;
    while (!rest.empty()) {
        auto it = disallow.upper_bound(rest);
        if (it == disallow.begin()) {
            return false;
        }
        const std::string_view entry = *--it;
        if (!entry.empty() && rest.starts_with(entry)) {
            return true;
        }
        const auto common = std::ranges::mismatch(entry, rest);
        rest = rest.substr(0, static_cast<std::size_t>(common.in2 - rest.begin()));
    }
    return false;
}

}  // namespace quillharbor
