#include "engine/retrieved_copy.h"

#include "model/link_admission.h"
#include "model/task.h"

namespace quillharbor {

namespace {

bool standsForCopy(ObjectState state) {
    return state == ObjectState::Retrieved || state == ObjectState::Done ||
           state == ObjectState::Retrieving || state == ObjectState::RetrievedByOther;
}

// Empty while the object's transfer has not named its file yet.
std::string copyPath(const TDnObj& object) {
    if (object.State == ObjectState::RetrievedByOther) {
        return object.Location;
    }
    return object.LocalName.empty() ? std::string() : object.Task->Dir + object.LocalName;
}

}  // namespace

RetrievedCopy findRetrievedCopy(const SeenList& seen, std::string_view url) {
    RetrievedCopy copy;
    // Equal URLs stand together in the seen list, so this walks only the objects of this URL.
    for (const TDnObj* at = seen.SeenFind(url); at != nullptr && at->URL == url;
         at = at->QueueNext) {
        if (!standsForCopy(at->State)) {
            continue;
        }
        if (std::string path = copyPath(*at); !path.empty()) {
            return {RetrievedCopy::Kind::Found, std::move(path), at};
        }
        copy.kind = RetrievedCopy::Kind::Pending;
    }
    return copy;
}

const TDnObj* CopyOwner(const SeenList& seen, const TDnObj& copy) {
    for (const TDnObj* at = seen.SeenFind(copy.URL); at != nullptr && at->URL == copy.URL;
         at = at->QueueNext) {
        const bool retrieved =
            at->State == ObjectState::Retrieved || at->State == ObjectState::Done;
        if (retrieved && !at->LocalName.empty() && at->Task->Dir + at->LocalName == copy.Location) {
            return at;
        }
    }
    return nullptr;
}

bool ScansCopy(const SeenList& seen, const TDnObj& copy) {
    const TDnObj* owner = CopyOwner(seen, copy);
    return owner != nullptr && ShouldParseCopy(copy, *owner);
}

}  // namespace quillharbor
