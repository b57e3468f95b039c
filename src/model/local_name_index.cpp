#include "model/local_name_index.h"

#include "model/task.h"

namespace quillharbor {

bool LocalNameIndex::heldByOther(const TTask& task, const TDnObj& self,
                                 std::string_view name) const {
    if (name.empty()) {
        return false;
    }
    build(task);
    auto [entry, end] = m_holders.equal_range(std::string(name));
    bool held = false;
    while (entry != end) {
        if (entry->second->LocalName != name) {
            entry = m_holders.erase(entry);
            continue;
        }
        held = held || entry->second != &self;
        ++entry;
    }
    return held;
}

void LocalNameIndex::noteName(const TDnObj& object) {
    if (!m_built || object.LocalName.empty()) {
        return;
    }
    auto [entry, end] = m_holders.equal_range(object.LocalName);
    for (; entry != end; ++entry) {
        if (entry->second == &object) {
            return;
        }
    }
    m_holders.emplace(object.LocalName, &object);
}

void LocalNameIndex::build(const TTask& task) const {
    if (m_built) {
        return;
    }
    m_built = true;
    for (const TDnObj& object : task.Objects) {
        if (!object.LocalName.empty()) {
            m_holders.emplace(object.LocalName, &object);
        }
    }
}

}  // namespace quillharbor
