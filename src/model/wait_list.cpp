#include "model/wait_list.h"

#include <cassert>

#include "parser/url_helpers.h"

namespace quillharbor {

void WaitList::WaitInsert(TDnObj& object) {
    assert(object.InList == GlobalList::None);
    std::unique_ptr<Sorted>& objects = m_hosts[HostPart(object.URL)];
    if (!objects) {
        objects = std::make_unique<Sorted>();
    }
    objects->insert(object);
    object.InList = GlobalList::Wait;
    ++m_size;
}

void WaitList::WaitRemove(TDnObj& object) {
    assert(object.InList == GlobalList::Wait);
    const auto host = m_hosts.find(HostPart(object.URL));
    assert(host != m_hosts.end());
    host->second->remove(object);
    if (host->second->empty()) {
        m_hosts.erase(host);
    }
    object.InList = GlobalList::None;
    --m_size;
}

std::vector<TDnObj*> WaitList::WaitTakeHost(std::string_view host) {
    std::vector<TDnObj*> taken;
    const auto found = m_hosts.find(host);
    if (found == m_hosts.end()) {
        return taken;
    }
    for (TDnObj& object : *found->second) {
        object.InList = GlobalList::None;
        taken.push_back(&object);
    }
    found->second->clear();
    m_hosts.erase(found);
    m_size -= taken.size();
    return taken;
}

TDnObj* WaitList::WaitFirstOf(std::string_view host) const {
    const auto found = m_hosts.find(host);
    return found == m_hosts.end() ? nullptr : found->second->head();
}

void WaitList::clear() {
    for (auto& [host, objects] : m_hosts) {
        for (TDnObj& object : *objects) {
            object.InList = GlobalList::None;
        }
        objects->clear();
    }
    m_hosts.clear();
    m_size = 0;
}

}  // namespace quillharbor
