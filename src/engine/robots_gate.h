#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine_context.h"
#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// Robot exclusion: a new HTTP object is queued only once its host's robots.txt has been asked
// for and its rules applied. The first object of a host waits in the wait list while a robots
// request for the host is queued in its task; later objects of the host wait behind it until
// the answer, and objects of a known host are checked at once. The host list, the wait list and
// the disallow list are the engine state's (global to all tasks); the gate holds nothing of its
// own, so any part of the engine may make one over the context. Loop thread only.
class RobotsGate {
public:
    explicit RobotsGate(EngineContext& context) : m_context(context) {}

    // Whether object's host must be asked for its rules before the object is fetched: an HTTP
    // object while the engine obeys robots.txt and its task does not opt out.
    bool Applies(const TDnObj& object) const;
    // Whether its host's rules are known and let object be fetched.
    bool Admits(const TDnObj& object) const;
    // object was just created by the link intake (counted in its task's Queued and Total, in no
    // list) from a link on a page of pageLevel, or was taken out of the queue unchecked
    // (RobotsUnchecked). It is queued, parked, or excluded.
    void GateNewObject(TDnObj& object, std::int32_t pageLevel);
    // The robots request ended; body is empty when the request failed or brought nothing, which
    // leaves the host without rules. The host becomes known, the request leaves its task's
    // counts, and the objects waiting for the host are queued or excluded. An answer for a host
    // already known is ignored.
    void OnRobotsAnswer(TDnObj& request, std::string_view body);
    // task is about to be freed and its objects have left every list. A robots request of its
    // own that is still unanswered is made again in the task of the first object still waiting
    // for that host, or, with none waiting, the host is forgotten so that its next link asks
    // anew; otherwise those objects would wait forever.
    void forgetTask(const TTask& task);

    // State 0, a row in the queued list, the tail of the queue.
    void queueObject(TDnObj& object);

private:
    void askForRobots(const std::string& host, TTask& task, std::int32_t level);
    void exclude(TDnObj& object);

    EngineContext& m_context;
};

}  // namespace quillharbor
