#include "net/http_redirect.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "net/http_url_parts.h"

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

// RFC 3986 5.2.4, on the path only (the query is left alone).
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 1;  // path begins with "/"
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view segment = path.substr(start, end - start);
        const bool last = end == path.size();
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            if (last) {
                segments.emplace_back();
            }
        } else if (segment == ".") {
            if (last) {
                segments.emplace_back();
            }
        } else {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string_view segment : segments) {
        out += '/';
        out += segment;
    }
    return out.empty() ? "/" : out;
}

std::string normalisePath(std::string_view pathAndQuery) {
    const std::size_t query = pathAndQuery.find('?');
    const std::string path(pathAndQuery.substr(0, query));
    return removeDotSegments(path.starts_with('/') ? path : "/" + path) +
           std::string(query == std::string_view::npos ? std::string_view()
                                                       : pathAndQuery.substr(query));
}

// The URL as the client will split it again to fetch it. A host that is empty or keeps a ":"
// (a port that splitting would take off later) cannot be fetched as written.
std::optional<std::string> canonical(std::string_view url) {
    HttpUrlParts parts = splitHttpUrl(url);
    if (parts.host.empty() || parts.host.find(':') != std::string::npos) {
        return std::nullopt;
    }
    parts.protocol = "http";
    parts.user.clear();
    parts.password.clear();
    parts.path = normalisePath(parts.path.empty() ? "/" : parts.path);
    return absoluteHttpUrl(parts);
}

}  // namespace

std::optional<std::string> resolveHttpRedirect(std::string_view base, std::string_view value) {
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
    if (scheme == "http") {
        return canonical(value);
    }
    if (!scheme.empty()) {
        return std::nullopt;
    }
    if (value.starts_with("//")) {
        return canonical("http:" + std::string(value));
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
    return canonical(absoluteHttpUrl(to));
}

}  // namespace quillharbor
