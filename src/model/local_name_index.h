#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>

#include "model/dn_obj.h"

namespace quillharbor {

struct TTask;

// Which objects of one task hold which local names, so that a slot can tell in O(1) whether a
// name it is about to write belongs to another object. Built from the task's objects on the
// first question; from then on names change through SetLocalName (task.h), which keeps it. An
// entry whose object has moved on to another name since is dropped when it is met.
class LocalNameIndex {
public:
    // Whether an object of task other than self holds name.
    bool heldByOther(const TTask& task, const TDnObj& self, std::string_view name) const;
    // object's LocalName has just changed.
    void noteName(const TDnObj& object);

private:
    void build(const TTask& task) const;

    // A cache of the objects' own fields, filled on first use: the holders under the hash of
    // their name, so that the names are not held twice. An entry whose object's name no longer
    // has its hash is stale.
    mutable bool m_built = false;
    mutable std::unordered_multimap<std::size_t, const TDnObj*> m_holders;
};

}  // namespace quillharbor
