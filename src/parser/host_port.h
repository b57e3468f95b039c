#pragma once

#include <string_view>

namespace quillharbor {

// The host and port of a URL's authority (user information already taken off). An IPv6 literal
// keeps its brackets in `host` ("[::1]:8080" is "[::1]" and "8080"), so that the host can be
// written back into a URL, a Host line or a file name as it was; a colon inside the brackets
// never starts the port.
struct HostAndPort {
    std::string_view host;
    std::string_view port;  // empty when the text names none
};

HostAndPort SplitHostPort(std::string_view hostPort);

// The host as the network takes it: "[::1]" is "::1"; every other host is returned unchanged.
std::string_view HostWithoutBrackets(std::string_view host);

}  // namespace quillharbor
