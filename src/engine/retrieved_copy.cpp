#include "engine/retrieved_copy.h"

#include "model/link_admission.h"
#include "model/task.h"
#include "parser/url_helpers.h"

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

// The first object of the seen list with the URL, else with its twin, that passes the test.
template <typename Test>
const TDnObj* findDocument(const SeenList& seen, std::string_view url, const Test& test) {
    const std::string twin = SchemeTwin(url);
    for (const std::string_view each : {url, std::string_view(twin)}) {
        if (each.empty()) {
            continue;
        }
        // Equal URLs stand together in the seen list, so this walks only the objects of this URL.
        for (const TDnObj* at = seen.SeenFind(each); at != nullptr && at->URL == each;
             at = at->QueueNext) {
            if (test(*at)) {
                return at;
            }
        }
    }
    return nullptr;
}

}  // namespace

RetrievedCopy findRetrievedCopy(const SeenList& seen, std::string_view url) {
    RetrievedCopy copy;
    const TDnObj* found = findDocument(seen, url, [&copy](const TDnObj& at) {
        if (!standsForCopy(at.State)) {
            return false;
        }
        if (!copyPath(at).empty()) {
            return true;
        }
        copy.kind = RetrievedCopy::Kind::Pending;
        return false;
    });
    return found == nullptr ? copy
                            : RetrievedCopy{RetrievedCopy::Kind::Found, copyPath(*found), found};
}

const TDnObj* CopyOwner(const SeenList& seen, const TDnObj& copy) {
    return findDocument(seen, copy.URL, [&copy](const TDnObj& at) {
        const bool retrieved = at.State == ObjectState::Retrieved || at.State == ObjectState::Done;
        return retrieved && !at.LocalName.empty() && at.Task->Dir + at.LocalName == copy.Location;
    });
}

bool ScansCopy(const SeenList& seen, const TDnObj& copy) {
    const TDnObj* owner = CopyOwner(seen, copy);
    return owner != nullptr && ShouldParseCopy(copy, *owner);
}

}  // namespace quillharbor
