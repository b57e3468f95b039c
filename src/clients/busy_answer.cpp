#include "clients/busy_answer.h"

#include "model/failure_cause.h"
#include "model/message_identity.h"
#include "model/task.h"
#include "net/http_retry_after.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

constexpr int kTooManyRequests = 429;
constexpr int kServiceUnavailable = 503;
constexpr unsigned kMostBusyAnswers = 16;

}  // namespace

std::optional<std::chrono::seconds> busyAnswerWait(std::chrono::seconds asked, unsigned earlier) {
    // Past this many, even "Retry-After: 0" ends: a server that answers busy for ever fails the
    // object instead of keeping it in the queue for good.
    if (earlier >= kMostBusyAnswers || asked > kLongestHold) {
        return std::nullopt;
    }
    const std::chrono::seconds wait = asked * (1 << earlier);
    if (wait > kLongestHold) {
        return std::nullopt;
    }
    return wait;
}

bool holdOnBusyAnswer(EngineState& state, TDnObj& object, int status,
                      const std::deque<std::string>& headerLines, std::string_view answeredUrl) {
    if (status != kTooManyRequests && status != kServiceUnavailable) {
        return false;
    }
    const std::optional<std::string> value = lastRetryAfter(headerLines);
    const std::optional<std::chrono::seconds> asked =
        value ? retryAfterWait(*value, std::chrono::system_clock::now()) : std::nullopt;
    if (!asked) {
        return false;
    }
    HostTable& hosts = state.Queue.hosts();
    const std::optional<std::chrono::seconds> wait =
        busyAnswerWait(*asked, hosts.countBusyAnswer(identityOf(object)));
    if (!wait) {
        object.Cause = kCauseWaitTooLong;
        return false;
    }
    const HostTable::Clock::time_point until = HostTable::Clock::now() + *wait;
    hosts.holdUntil(hosts.intern(HostPart(object.URL)), until);
    if (!answeredUrl.empty()) {
        hosts.holdUntil(hosts.intern(HostPart(answeredUrl)), until);
    }
    if (object.InList == GlobalList::Seen) {
        state.SeenList.SeenRemove(object);
    }
    // A robots.txt request stays one: the objects of its host wait for its answer.
    if (object.State != ObjectState::RobotsRequest) {
        object.State = ObjectState::Queued;
    }
    object.Status = status;
    state.Queue.Enqueue(object);
    return true;
}

}  // namespace quillharbor
