#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_context.h"
#include "model/dn_obj.h"
#include "model/http_slot.h"
#include "parser/url_helpers.h"

namespace quillharbor {

// Chooses the object a free slot starts, walking the global queue from its head. An object is
// eligible for a slot when its URL's protocol (UrlProtocol) is the slot's and its task is
// running; objects that are not eligible stay queued where they are.
//
// An eligible object whose URL another task already has (findRetrievedCopy) is a duplicate and
// is settled on the spot instead of being started: state 10 (RetrievedByOther), Location the
// other copy's path, its task's Queued - 1, ObjectDone posted and TaskEnded when that count
// reached 0; it moves from the queue to the seen list. The test is skipped with AlwaysRetrieve,
// for FTP objects also with ForceFTPRetrieve, for the engine's own robots.txt requests always,
// and for an HTTP object whose own file is already there to be scanned (ShouldParse). An object
// whose copy is still being retrieved under no name yet stays queued until that transfer names
// its file or fails; in a task that rewrites its pages (flag Parse), until that transfer ends.
// A settled page that ScansCopy is handed to the link scanner (ScanLinks) instead, which
// settles its count.
//
// A host held back (it answered 429 or 503 with Retry-After) or already served by
// MaxConnsPerHost slots (HostTable::admits) has none of its objects started either; they stay
// queued where they are.
//
// A free HTTP slot that keeps a connection open (HttpSlot::keptHost) takes the first eligible
// object of that connection's host instead, wherever it stands in the queue, so the connection
// serves it; only when that host has none, or the slot has taken kMaxKeptPicks of its objects in
// a row, does it take the first eligible object of the queue. The bound lets the queue's head
// reach a slot even while other hosts keep it busy (servers commonly close a connection after
// 100 requests anyway).
//
// One picker serves one tick: each pick goes on where the previous pick of the same protocol (or
// of the same kept host) stopped, since nothing before that point can have become eligible within
// the tick. So a tick walks each protocol's queued objects at most once, and each kept host's at
// most once more, however many slots are free, never looks at another protocol's, and passes
// over each run of a task that is not running, or of a host that may take no more slots, in one
// step.
class ObjectPicker {
public:
    explicit ObjectPicker(EngineContext& context)
        : m_context(context), m_now(HostTable::Clock::now()) {}

    // The object to start on a free slot, still in the queue; nullptr when there is none.
    TDnObj* PickHttp() { return pick(Protocol::Http, m_http); }
    TDnObj* PickFtp() { return pick(Protocol::Ftp, m_ftp); }
    // The object a free HTTP slot starts, preferring the host of the connection it keeps; counts
    // the slot's KeptPicks.
    TDnObj* PickHttpFor(HttpSlot& slot);

    static constexpr std::uint32_t kMaxKeptPicks = 100;

private:
    struct Walk {
        bool started = false;
        TDnObj* next = nullptr;
    };

    TDnObj* pick(Protocol protocol, Walk& walk);
    // The first eligible HTTP object of host; nullptr when there is none.
    TDnObj* pickOfHost(HostTable::Id host);
    // Where a walk goes on: where it stopped, or first when it has not begun.
    static TDnObj* resume(Walk& walk, TDnObj* first);
    // Whether the eligible object may start; a duplicate is settled or left to wait instead.
    bool startable(Protocol protocol, TDnObj& object);
    // A RobotsUnchecked object whose host's rules are not known to admit it leaves the queue for
    // the robots gate (true); otherwise it stays and is checked no more.
    bool heldForRobots(TDnObj& object);
    // The object leaves the queue: no walk goes on from it.
    void taken(const TDnObj& object);
    bool duplicateTestApplies(Protocol protocol, const TDnObj& object) const;
    void settleAsCopy(TDnObj& object, std::string location);

    EngineContext& m_context;
    const HostTable::Clock::time_point m_now;
    Walk m_http;
    Walk m_ftp;
    std::vector<std::pair<HostTable::Id, Walk>> m_hostWalks;  // the kept hosts of this tick
};

}  // namespace quillharbor
