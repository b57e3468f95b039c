#include "model/host_excl_list.h"

namespace quillharbor {

void HostExclList::HostExclAdd(const std::string& host, std::int32_t robotsDone) {
    m_hosts.try_emplace(host, THostExcl{host, robotsDone});
}

void HostExclList::HostExclRemove(std::string_view host) {
    if (auto found = m_hosts.find(host); found != m_hosts.end()) {
        m_hosts.erase(found);
    }
}

THostExcl* HostExclList::HostExclFind(std::string_view host) {
    auto found = m_hosts.find(host);
    return found == m_hosts.end() ? nullptr : &found->second;
}

}  // namespace quillharbor
