#include "engine/object_picker.h"

#include <utility>

#include "engine/retrieved_copy.h"
#include "model/link_admission.h"
#include "model/message_identity.h"

namespace quillharbor {

TDnObj* ObjectPicker::pick(Protocol protocol, Walk& walk) {
    EngineState& state = m_context.state;
    TDnObj* at = walk.started ? walk.next : state.Queue.firstOfKind(protocol);
    if (at != nullptr && at->InList != GlobalList::Queue) {
        // Where the last pick stopped left the queue while a slot started: begin again.
        at = state.Queue.firstOfKind(protocol);
    }
    walk.started = true;
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
        if (duplicateTestApplies(protocol, object)) {
            RetrievedCopy copy = findRetrievedCopy(state.SeenList, object.URL);
            const bool duplicate = copy.kind != RetrievedCopy::Kind::None &&
                                   (protocol != Protocol::Http || !ShouldParse(object));
            if (duplicate && copy.kind == RetrievedCopy::Kind::Found) {
                // A copy that may be scanned for links is taken only once it is whole.
                if (copy.holder->State != ObjectState::Retrieving ||
                    !TaskHasFlag(*object.Task, TaskFlag::Parse)) {
                    settleAsCopy(object, std::move(copy.path));
                }
                continue;
            }
            if (duplicate) {
                continue;
            }
        }
        walk.next = at;
        return &object;
    }
    walk.next = nullptr;
    return nullptr;
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
