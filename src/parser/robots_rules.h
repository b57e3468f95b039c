#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace quillharbor {

// Absolute URL prefixes that robots.txt files forbid, for all hosts together: sorted, without
// duplicates, each beginning with the host part of the robots.txt it came from.
using DisallowList = std::set<std::string, std::less<>>;

// The line that starts at position: up to the first CR or LF, or to the end of the buffer.
// position moves past CR LF, past a single CR or LF, or to the end of the buffer.
std::string_view ReadLine(std::string_view buffer, std::size_t& position);

// True when line begins with keyword (given in lower case) in either case of its letters: each
// byte equals the keyword's byte or that byte minus 32, so "DISALLOW:" matches "disallow".
bool KeywordAt(std::string_view line, std::string_view keyword);

// Adds the Disallow prefixes of the records for the agent "*" to disallow, resolved against
// robotsUrl ("http://h/robots.txt"): "Disallow: /cgi-bin/" adds "http://h/cgi-bin/". A record
// starts at a User-agent line with the value "*" and ends at an empty line; other agents'
// records, comments, lines with leading blanks and Disallow lines without a value add nothing.
// A value that resolves to another host is dropped: one host's file never restricts another.
void ParseRobotsTxt(std::string_view body, DisallowList& disallow, std::string_view robotsUrl);

// True when some non-empty entry of disallow is a prefix of url (byte-wise, case-sensitive).
// Costs O(log n) per step, with at most one step per byte of url and usually one or two.
bool IsExcluded(std::string_view url, const DisallowList& disallow);

}  // namespace quillharbor
