#include "net/http_redirect.h"

#include <algorithm>
#include <cctype>

#include "net/http_url_parts.h"
#include "parser/host_port.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

// The scheme of an absolute reference, lower-cased; empty for a relative one.
std::string schemeOf(std::string_view value) {
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(value.front()))) {
        return {};
    }
    std::string scheme(value.substr(0, colon));
    for (char& c : scheme) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte) && c != '+' && c != '-' && c != '.') {
            return {};
        }
        c = static_cast<char>(std::tolower(byte));
    }
    return scheme;
}

std::string normalisePath(std::string_view pathAndQuery) {
    const std::size_t query = pathAndQuery.find('?');
    const std::string path(pathAndQuery.substr(0, query));
    // RFC 3986 5.2.4: a ".." at the root is dropped, on the path only (the query is left alone).
    return *RemoveDotSegments(path.starts_with('/') ? path : "/" + path, DotDotAtRoot::Ignore) +
           std::string(query == std::string_view::npos ? std::string_view()
                                                       : pathAndQuery.substr(query));
}

// The URL as the client will split it again to fetch it. A host that is empty or keeps a ":"
// outside the brackets of an IPv6 literal (a port that splitting would take off later) cannot be
// fetched as written.
std::optional<std::string> canonical(std::string_view url, const std::string& scheme) {
    HttpUrlParts parts = splitHttpUrl(url);
    if (parts.host.empty() || (parts.host.find(':') != std::string::npos &&
                               HostWithoutBrackets(parts.host) == parts.host)) {
        return std::nullopt;
    }
    parts.protocol = scheme;
    parts.user.clear();
    parts.password.clear();
    parts.path = normalisePath(parts.path.empty() ? "/" : parts.path);
    return absoluteHttpUrl(parts);
}

}  // namespace

std::optional<std::string> resolveHttpRedirect(std::string_view base, std::string_view value,
                                               bool followHttps) {
    value = value.substr(0, value.find('#'));
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    if (value.empty()) {
        return std::nullopt;
    }
    const std::string scheme = schemeOf(value);
    if (scheme == "http" || (scheme == "https" && followHttps)) {
        return canonical(value, scheme);
    }
    if (!scheme.empty()) {
        return std::nullopt;
    }
    const std::string baseScheme = schemeOf(base) == "https" ? "https" : "http";
    if (value.starts_with("//")) {
        return canonical(baseScheme + ":" + std::string(value), baseScheme);
    }
    HttpUrlParts to = splitHttpUrl(base.substr(0, base.find('#')));
    const std::string basePath = to.path.empty() ? "/" : to.path;
    const std::string_view baseFile = std::string_view(basePath).substr(0, basePath.find('?'));
    if (value.front() == '/') {
        to.path = value;
    } else if (value.front() == '?') {
        to.path = std::string(baseFile) + std::string(value);
    } else {
        to.path = std::string(baseFile.substr(0, baseFile.rfind('/') + 1)) + std::string(value);
    }
    return canonical(absoluteHttpUrl(to), baseScheme);
}

}  // namespace quillharbor
