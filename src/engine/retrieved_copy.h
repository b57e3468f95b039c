#pragma once

#include <string>
#include <string_view>

#include "model/seen_list.h"

namespace quillharbor {

// Another task's copy of a URL, as the seen list knows it.
struct RetrievedCopy {
    enum class Kind {
        None,     // no object with the URL was retrieved, is being retrieved or was settled
        Pending,  // one is being retrieved, but its file has no name yet
        Found,    // path names the copy
    };
    Kind kind = Kind::None;
    std::string path;                // the copy's local path when Found
    const TDnObj* holder = nullptr;  // the object that stands for it when Found
};

// Only an object that was retrieved (states 1 and 12), is being retrieved (2) or was itself
// settled as a copy (10) stands for a copy; one that failed, was stopped or removed never does,
// so that a URL that failed in one task is still tried by the next. The path is the object's
// Dir + LocalName, or for a settled one the Location it was given. Objects with the URL are
// looked at in the seen list's order, then those with its SchemeTwin (the same document over
// the other of http and https); the first with a known path wins.
RetrievedCopy findRetrievedCopy(const SeenList& seen, std::string_view url);

// The retrieved object (state 1 or 12) whose file a settled copy (state 10) names in its
// Location: its content type and URL tell what the copied file holds. nullptr when it has left
// the seen list (its task was removed).
const TDnObj* CopyOwner(const SeenList& seen, const TDnObj& copy);

// Whether a settled copy is scanned for links like a retrieved page (ShouldParseCopy).
bool ScansCopy(const SeenList& seen, const TDnObj& copy);

}  // namespace quillharbor
