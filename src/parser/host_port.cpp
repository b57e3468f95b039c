#include "parser/host_port.h"

namespace quillharbor {

HostAndPort SplitHostPort(std::string_view hostPort) {
    std::size_t hostEnd = 0;
    if (hostPort.starts_with('[')) {
        const std::size_t close = hostPort.find(']');
        // An unclosed bracket is a host name the look-up refuses, not a host and a port.
        if (close == std::string_view::npos) {
            return {hostPort, {}};
        }
        hostEnd = close + 1;
        if (hostEnd < hostPort.size() && hostPort[hostEnd] != ':') {
            return {hostPort, {}};
        }
    } else {
        hostEnd = hostPort.rfind(':');
    }
    if (hostEnd >= hostPort.size()) {
        return {hostPort, {}};
    }
    return {hostPort.substr(0, hostEnd), hostPort.substr(hostEnd + 1)};
}

std::string_view HostWithoutBrackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

}  // namespace quillharbor
