#include "parser/link_resolver.h"

#include <algorithm>
#include <array>

#include "parser/ascii.h"
#include "parser/attribute_url.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

bool isHostOnly(std::string_view url) {
    const UrlType kind = UrlKind(url);
    return (kind == UrlType::Http || kind == UrlType::Https || kind == UrlType::Ftp) &&
           HostPart(url).size() == WithoutQuery(url).size();
}

// "http://h?q" and "http://h" get the root slash their path lacks.
void addRootSlash(std::string& url) {
    if (isHostOnly(url)) {
        url.insert(HostPart(url).size(), "/");
    }
}

bool isDocumentExtension(std::string_view label) {
    static constexpr std::array<std::string_view, 10> kExtensions{
        "html", "htm", "shtml", "php", "asp", "aspx", "jsp", "cgi", "pl", "cfm"};
    for (const std::string_view extension : kExtensions) {
        if (equalsIgnoringAsciiCase(label, extension)) {
            return true;
        }
    }
    return false;
}

// "www.example.com/x" written without a scheme: a first segment, ended by a slash, whose last
// label is letters only and no document extension.
bool looksLikeHost(std::string_view link) {
    const std::size_t end = link.find_first_of("/?#");
    if (end == std::string_view::npos || link[end] != '/') {
        return false;
    }
    const std::string_view segment = link.substr(0, end);
    const std::size_t dot = segment.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view label = segment.substr(dot + 1);
    const bool lettersOnly = !label.empty() && std::ranges::all_of(label, [](char c) {
        return isAsciiAlnum(c) && !isAsciiDigit(c);
    });
    return lettersOnly && !isDocumentExtension(label);
}

// Joins a scheme-less link to the base; empty when it names no host to reach.
std::string joined(std::string_view link, std::string_view base) {
    if (link.starts_with('?')) {
        return std::string(WithoutQuery(base)) + std::string(link);
    }
    if (link.starts_with("//")) {
        std::string url(link.substr(2));
        if (url.empty() || url.find_first_of("/?#") == 0) {
            return {};
        }
        // Added directly rather than by AddScheme, which would leave "h:8080/x" without one. A
        // page fetched over https keeps its scheme-relative links on https.
        url.insert(0, url.starts_with("ftp")            ? "ftp://"
                      : UrlKind(base) == UrlType::Https ? "https://"
                                                        : "http://");
        return url;
    }
    if (link.starts_with('/')) {
        return HostPart(base) + std::string(link);
    }
    std::string url(link);
    if (looksLikeHost(link)) {
        AddScheme(url);
        return url;
    }
    return DirPart(base) + url;
}

}  // namespace

void ResolveLink(std::string& link, std::string_view base) {
    link = StripFragment(UrlFromAttributeValue(link));
    if (link.empty()) {
        return;
    }
    if (link.find('\\') != std::string::npos) {
        link.clear();
        return;
    }
    switch (UrlKind(link)) {
        case UrlType::OtherScheme:
            link.clear();
            return;
        case UrlType::Http:
        case UrlType::Https:
        case UrlType::Ftp:
            break;
        case UrlType::NoScheme: {
            // "http://h" has no directory of its own: DirPart would give "http://", and
            // "x.html" would become the host "x.html".
            std::string rootedBase(base);
            addRootSlash(rootedBase);
            link = joined(link, rootedBase);
            break;
        }
    }
    addRootSlash(link);
    NormaliseUrlPath(link);
}

}  // namespace quillharbor
