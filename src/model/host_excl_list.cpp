#include "model/host_excl_list.h"

namespace quillharbor {

void HostExclList::HostExclAdd(const std::string& host, std::int32_t robotsDone) {
    m_hosts.try_emplace(host, THostExcl{host, robotsDone});
}

THostExcl* HostExclList::HostExclFind(std::string_view host) {
    auto found = m_hosts.find(host);
    return found == m_hosts.end() ? nullptr : &found->second;
}

}  // namespace quillharbor
