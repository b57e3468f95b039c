#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// The wait a Retry-After value asks for, counted from now: delta seconds ("120"), or an HTTP date
// in any of its three forms ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
// "Sun Nov  6 08:49:37 1994"); a date already past asks for no wait. nullopt for anything else.
// A number too large to count saturates, so it still reads as a very long wait.
std::optional<std::chrono::seconds> retryAfterWait(std::string_view value,
                                                   std::chrono::system_clock::time_point now);

// The value of the Retry-After header of the last response among a request's header lines
// (each response begins with its status line); nullopt when that response has none.
std::optional<std::string> lastRetryAfter(const std::deque<std::string>& headerLines);

}  // namespace quillharbor
