#include "parser/link_resolver.h"

#include <algorithm>

#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

bool isHostOnly(std::string_view url) {
    const UrlType kind = UrlKind(url);
    return (kind == UrlType::Http || kind == UrlType::Ftp) && std::ranges::count(url, '/') < 3;
}

// Applies the leading "../" steps of link to dir; empty when a step would leave the host.
std::string climb(std::string_view link, std::string dir) {
    std::size_t consumed = 0;
    while (link.substr(consumed).starts_with("../")) {
        consumed += 3;
        if (dir.size() < 2) {
            return {};
        }
        const std::size_t slash = dir.rfind('/', dir.size() - 2);
        if (slash == std::string::npos || slash == 0 || dir[slash - 1] == '/') {
            return {};
        }
        dir.resize(slash + 1);
    }
    dir += link.substr(consumed);
    return dir;
}

}  // namespace

void ResolveLink(std::string& link, std::string_view base) {
    link = StripFragment(link);
    if (link.empty()) {
        return;
    }
    if (link.find('\\') != std::string::npos) {
        link.clear();
        return;
    }
    // "http://h" has no directory of its own: DirPart would give "http://", and "x.html" would
    // become the host "x.html".
    std::string rootedBase(base);
    if (isHostOnly(rootedBase)) {
        rootedBase += '/';
    }
    if (link.starts_with("../")) {
        link = climb(link, DirPart(rootedBase));
        return;
    }
    if (link.starts_with("./")) {
        link = DirPart(rootedBase) + link.substr(2);
        return;
    }
    switch (UrlKind(link)) {
        case UrlType::OtherScheme:
            link.clear();
            return;
        case UrlType::Http:
        case UrlType::Ftp:
            if (isHostOnly(link)) {
                link += '/';
            }
            return;
        case UrlType::NoScheme:
            break;
    }
    if (link.starts_with("//")) {
        // Added directly rather than by AddScheme, which would leave "h:8080/x" without one.
        link.replace(0, 2, link.compare(2, 3, "ftp") == 0 ? "ftp://" : "http://");
    } else if (link.starts_with('/')) {
        link.insert(0, HostPart(rootedBase));
    } else if (const std::size_t slash = link.find('/');
               slash != std::string::npos && link.find('.') < slash) {
        AddScheme(link);
    } else {
        link.insert(0, DirPart(rootedBase));
    }
}

}  // namespace quillharbor
