#include "model/local_name_index.h"

#include <functional>

#include "model/task.h"

namespace quillharbor {

namespace {

std::size_t hashOf(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

bool LocalNameIndex::heldByOther(const TTask& task, const TDnObj& self,
                                 std::string_view name) const {
    if (name.empty()) {
        return false;
    }
    build(task);
    auto [entry, end] = m_holders.equal_range(hashOf(name));
    bool held = false;
    while (entry != end) {
        const std::string& current = entry->second->LocalName;
        if (current == name) {
            held = held || entry->second != &self;
        } else if (hashOf(current) != entry->first) {
            entry = m_holders.erase(entry);
            continue;
        }
        ++entry;
    }
    return held;
}

void LocalNameIndex::noteName(const TDnObj& object) {
    if (!m_built || object.LocalName.empty()) {
        return;
    }
    const std::size_t hash = hashOf(object.LocalName);
    auto [entry, end] = m_holders.equal_range(hash);
    for (; entry != end; ++entry) {
        if (entry->second == &object) {
            return;
        }
    }
    m_holders.emplace(hash, &object);
}

void LocalNameIndex::build(const TTask& task) const {
    if (m_built) {
        return;
    }
    m_built = true;
    for (const TDnObj& object : task.Objects) {
        if (!object.LocalName.empty()) {
            m_holders.emplace(hashOf(object.LocalName), &object);
        }
    }
}

}  // namespace quillharbor
