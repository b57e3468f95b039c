#pragma once

#include <cstddef>
#include <cstdint>

#include "model/dn_obj.h"
#include "parser/url_helpers.h"

namespace quillharbor {

// Neighbouring objects of one task, one protocol (UrlProtocol) and one host in the download queue.
// The runs of each protocol are chained in queue order, so a walk for one protocol's slot never
// looks at another protocol's objects, and passes over the rest of a stopped task's run from any
// of its objects in one step. The runs of each host are chained in queue order as well, so a slot
// that keeps a connection to a host finds that host's next object without a walk of the queue.
// The queue owns its runs.
struct QueueRun {
    TTask* Task = nullptr;
    Protocol Kind = Protocol::Other;
    std::uint32_t Host = 0;  // HostTable id of the objects' HostPart
    TDnObj* First = nullptr;
    TDnObj* Last = nullptr;
    std::size_t Count = 0;
    QueueRun* NextOfKind = nullptr;
    QueueRun* PrevOfKind = nullptr;
    QueueRun* NextOfHost = nullptr;
    QueueRun* PrevOfHost = nullptr;
};

}  // namespace quillharbor
