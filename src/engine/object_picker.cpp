#include "engine/object_picker.h"

#include <algorithm>
#include <utility>

#include "engine/retrieved_copy.h"
#include "engine/robots_gate.h"
#include "model/link_admission.h"
#include "model/message_identity.h"

namespace quillharbor {

TDnObj* ObjectPicker::pick(Protocol protocol, Walk& walk) {
    EngineState& state = m_context.state;
    TDnObj* at = resume(walk, state.Queue.firstOfKind(protocol));
    const HostTable& hosts = state.Queue.hosts();
    const unsigned cap = m_context.global.MaxConnsPerHost;
    while (at != nullptr) {
        // A task that is not running, or a host that may take no more slots, has none of its
        // neighbouring objects started: one step passes over them all, however many a stopped
        // task or a held host has at the head of the queue.
        if (at->Task->State != TaskState::Running || !hosts.admits(at->Run->Host, m_now, cap)) {
            at = DownloadQueue::pastRun(*at);
            continue;
        }
        TDnObj& object = *at;
        at = DownloadQueue::nextOfKind(object);
        if (startable(protocol, object)) {
            walk.next = at;
            taken(object);
            return &object;
        }
    }
    walk.next = nullptr;
    return nullptr;
}

TDnObj* ObjectPicker::PickHttpFor(HttpSlot& slot) {
    const std::string_view kept = slot.keptHost();
    if (!kept.empty() && slot.KeptPicks < kMaxKeptPicks) {
        if (const auto host = m_context.state.Queue.hosts().find(kept)) {
            if (TDnObj* object = pickOfHost(*host)) {
                ++slot.KeptPicks;
                return object;
            }
        }
    }
    slot.KeptPicks = 0;
    return PickHttp();
}

TDnObj* ObjectPicker::pickOfHost(HostTable::Id host) {
    EngineState& state = m_context.state;
    if (!state.Queue.hosts().admits(host, m_now, m_context.global.MaxConnsPerHost)) {
        return nullptr;
    }
    auto found = std::ranges::find(m_hostWalks, host, &std::pair<HostTable::Id, Walk>::first);
    Walk& walk =
        found != m_hostWalks.end() ? found->second : m_hostWalks.emplace_back(host, Walk{}).second;
    TDnObj* at = resume(walk, state.Queue.firstOfHost(host));
    while (at != nullptr) {
        if (at->Task->State != TaskState::Running || at->Run->Kind != Protocol::Http) {
            at = DownloadQueue::pastRunOfHost(*at);
            continue;
        }
        TDnObj& object = *at;
        at = DownloadQueue::nextOfHost(object);
        if (startable(Protocol::Http, object)) {
            walk.next = at;
            taken(object);
            return &object;
        }
    }
    walk.next = nullptr;
    return nullptr;
}

TDnObj* ObjectPicker::resume(Walk& walk, TDnObj* first) {
    TDnObj* at = walk.started ? walk.next : first;
    walk.started = true;
    // Where the last pick stopped left the queue while a slot started: begin again.
    return at != nullptr && at->InList != GlobalList::Queue ? first : at;
}

bool ObjectPicker::startable(Protocol protocol, TDnObj& object) {
    if (object.RobotsUnchecked && heldForRobots(object)) {
        return false;
    }
    if (!duplicateTestApplies(protocol, object)) {
        return true;
    }
    RetrievedCopy copy = findRetrievedCopy(m_context.state.SeenList, object.URL);
    const bool duplicate = copy.kind != RetrievedCopy::Kind::None &&
                           (protocol != Protocol::Http || !ShouldParse(object));
    if (duplicate && copy.kind == RetrievedCopy::Kind::Found) {
        // A copy that may be scanned for links is taken only once it is whole.
        if (copy.holder->State != ObjectState::Retrieving ||
            !TaskHasFlag(*object.Task, TaskFlag::Parse)) {
            settleAsCopy(object, std::move(copy.path));
        }
    }
    return !duplicate;
}

bool ObjectPicker::heldForRobots(TDnObj& object) {
    object.RobotsUnchecked = false;
    RobotsGate gate(m_context);
    if (!gate.Applies(object) || gate.Admits(object)) {
        return false;
    }
    // Asked now, the host's rules are asked for by a running task.
    taken(object);
    m_context.state.Queue.QueueRemove(object);
    gate.GateNewObject(object, object.Level);
    return true;
}

void ObjectPicker::taken(const TDnObj& object) {
    Walk& ofKind = object.Run->Kind == Protocol::Ftp ? m_ftp : m_http;
    if (ofKind.next == &object) {
        ofKind.next = DownloadQueue::nextOfKind(object);
    }
    for (auto& [host, walk] : m_hostWalks) {
        if (walk.next == &object) {
            walk.next = DownloadQueue::nextOfHost(object);
        }
    }
}

bool ObjectPicker::duplicateTestApplies(Protocol protocol, const TDnObj& object) const {
    const EngineState& state = m_context.state;
    // A robots.txt request feeds the robots rules from memory; a saved copy cannot stand in.
    if (state.AlwaysRetrieve || object.State == ObjectState::RobotsRequest) {
        return false;
    }
    return protocol != Protocol::Ftp || !state.ForceFTPRetrieve;
}

void ObjectPicker::settleAsCopy(TDnObj& object, std::string location) {
    EngineState& state = m_context.state;
    TTask& task = *object.Task;
    object.State = ObjectState::RetrievedByOther;
    object.Location = std::move(location);
    taken(object);
    state.Queue.QueueRemove(object);
    state.SeenList.SeenInsert(object);
    m_context.post(EngineMessage::ObjectDone, identityOf(object));
    if (ScansCopy(state.SeenList, object)) {
        // The link scanner settles the count when it is done, as for a retrieved page.
        m_context.post(EngineMessage::ScanLinks, identityOf(object));
        return;
    }
    --task.Queued;
    if (task.Queued == 0) {
        m_context.post(EngineMessage::TaskEnded, identityOf(task));
    }
}

}  // namespace quillharbor
