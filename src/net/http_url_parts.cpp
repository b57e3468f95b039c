#include "net/http_url_parts.h"

#include "parser/host_port.h"

#include <algorithm>
#include <cctype>

namespace quillharbor {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return static_cast<unsigned char>(p) == std::tolower(static_cast<unsigned char>(t));
           });
}

void splitAuthority(std::string_view authority, HttpUrlParts& parts) {
    const std::size_t at = authority.rfind('@');
    const HostAndPort hostPort =
        SplitHostPort(authority.substr(at == std::string_view::npos ? 0 : at + 1));
    parts.host = hostPort.host;
    parts.port = hostPort.port;
    if (at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const std::size_t split = userInfo.find(':');
        parts.user = userInfo.substr(0, split);
        if (split != std::string_view::npos) {
            parts.password = userInfo.substr(split + 1);
        }
    }
}

}  // namespace

HttpUrlParts splitHttpUrl(std::string_view text) {
    HttpUrlParts parts;
    if (text.empty()) {
        return parts;
    }
    std::string_view rest = text;
    if (const std::size_t scheme = text.find("://"); scheme != std::string_view::npos) {
        parts.protocol = text.substr(0, scheme);
        rest = text.substr(scheme + 3);
    } else if (text.front() == '/') {
        parts.protocol = "http";
        if (text.size() >= 2 && text[1] != '/') {
            parts.path = text;
            return parts;
        }
        rest = text.substr(1);
    } else if (startsWithNoCase(text, "http:")) {
        parts.protocol = "http";
        if (text.size() >= 7 && text[6] != '/') {
            parts.path = text.substr(5);
            return parts;
        }
        rest = text.substr(std::min<std::size_t>(6, text.size()));
    } else if (startsWithNoCase(text, "mailto:")) {
        parts.protocol = "mailto";
        rest = text.substr(text.find(':') + 1);
    }
    // The authority ends at the path, or at the query of a URL without a path.
    const std::size_t slash = rest.find_first_of("/?");
    if (slash != std::string_view::npos) {
        parts.path = rest[slash] == '?' ? "/" + std::string(rest.substr(slash))
                                        : std::string(rest.substr(slash));
    }
    splitAuthority(rest.substr(0, slash), parts);
    return parts;
}

std::string absoluteHttpUrl(const HttpUrlParts& parts) {
    std::string url = parts.protocol.empty() ? "http" : parts.protocol;
    url += "://";
    url += parts.host;
    if (!parts.port.empty()) {
        url += ':';
        url += parts.port;
    }
    url += parts.path.empty() ? "/" : parts.path;
    return url;
}

}  // namespace quillharbor
