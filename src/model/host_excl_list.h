#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "model/host_excl.h"

namespace quillharbor {

// One entry per host, ascending by Host (byte-wise). Entries stay where they are until
// HostExclRemove or HostExclClear, so pointers to them stay valid.
class HostExclList {
public:
    // Adds the host with RobotsDone = robotsDone; an existing entry is left as it is.
    void HostExclAdd(const std::string& host, std::int32_t robotsDone);
    THostExcl* HostExclFind(std::string_view host);
    // Forgets the host, so that the next link to it asks for its robots.txt again.
    void HostExclRemove(std::string_view host);
    void HostExclClear() { m_hosts.clear(); }

private:
    std::map<std::string, THostExcl, std::less<>> m_hosts;
};

}  // namespace quillharbor
