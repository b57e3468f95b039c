#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "model/engine_state.h"

namespace quillharbor {

// The longest wait a server may ask for with Retry-After; an object asked to wait longer fails.
inline constexpr std::chrono::seconds kLongestHold{600};

// How long an object answered 429 or 503 with Retry-After waits before it is tried again: the
// wait asked for, doubled for each such answer the object had before. nullopt when that is past
// kLongestHold, or when the object had 16 such answers already.
std::optional<std::chrono::seconds> busyAnswerWait(std::chrono::seconds asked, unsigned earlier);

// A 429 or 503 answer with a Retry-After that can be read puts the object, still counted in its
// task's Queued, back at the tail of the queue (queued again; a robots.txt request stays one) and
// holds back the host of its URL and the host that answered (after a redirect, another one) for
// busyAnswerWait. Returns whether it did; when it did not, the answer is settled like any other:
// with the wait too long, object.Cause says so (kCauseWaitTooLong).
bool holdOnBusyAnswer(EngineState& state, TDnObj& object, int status,
                      const std::deque<std::string>& headerLines, std::string_view answeredUrl);

}  // namespace quillharbor
