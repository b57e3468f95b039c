#include "clients/http_local_name.h"

#include <algorithm>
#include <cctype>

#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

// Below NAME_MAX (255) with room for the "-N" of MakeUniqueName and an appended ".html".
constexpr std::size_t kMaxNameLength = 200;
// Longer "extensions" are text after a dot, not a file type worth keeping.
constexpr std::size_t kMaxKeptExtension = 16;
constexpr std::size_t kMaxHtmlExtension = 5;
// A longer query is cut in a file name of the site's layout; the name stays unique by its "-N".
constexpr std::size_t kMaxQueryInName = 80;

// Cut to kMaxNameLength, keeping a short extension.
std::string boundedName(std::string name) {
    if (name.size() <= kMaxNameLength) {
        return name;
    }
    std::string extension = FileExtOf(name);
    if (extension.size() > kMaxKeptExtension) {
        extension.clear();
    }
    return name.substr(0, kMaxNameLength - extension.size()) + extension;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file name of a path: after its last "/".
std::string_view fileNameOf(std::string_view path) {
    return path.substr(path.rfind('/') + 1);
}

// A folder or file name from URL text: every byte that could end or climb out of it made "-".
std::string safeSegment(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool forbidden =
            c == '\0' || std::string_view("\\/:*?<>|'").find(c) != std::string_view::npos;
        name += forbidden ? '-' : c;
    }
    if (name.empty() || name == "." || name == "..") {
        name = "-" + name;
    }
    return boundedName(std::move(name));
}

}  // namespace

std::string SitePath(std::string_view url) {
    url = url.substr(0, url.find('#'));
    const std::size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    const std::size_t queryAt = rest.find('?');
    const std::string_view query =
        queryAt == std::string_view::npos ? std::string_view() : rest.substr(queryAt + 1);
    rest = rest.substr(0, queryAt);
    const std::size_t hostEnd = std::min(rest.find('/'), rest.size());
    std::string_view host = rest.substr(0, hostEnd);
    host = host.substr(host.rfind('@') + 1);
    std::string path = safeSegment(host);
    std::string_view segments = rest.substr(hostEnd);
    std::string file = "index.html";
    while (!segments.empty()) {
        const std::size_t slash = segments.find('/');
        const std::string_view segment = segments.substr(0, slash);
        segments =
            slash == std::string_view::npos ? std::string_view() : segments.substr(slash + 1);
        if (segment.empty() || segment == "." || segment == "..") {
            continue;
        }
        if (slash == std::string_view::npos) {
            file = std::string(segment);
        } else {
            path += "/" + safeSegment(segment);
        }
    }
    if (!query.empty()) {
        const std::string stem = NameWithoutExt(file);
        file =
            stem + "@" + std::string(query.substr(0, kMaxQueryInName)) + file.substr(stem.size());
    }
    return path + "/" + safeSegment(file);
}

std::string DocumentPath(std::string_view url, bool siteLayout) {
    return siteLayout ? SitePath(url) : DocumentName(url);
}

std::string DocumentName(std::string_view url) {
    std::string name = LocalNameFromUrl(url);
    return name.empty() ? "index.html" : boundedName(std::move(name));
}

std::string HtmlNameFor(std::string_view name) {
    const std::size_t extension = FileExtOf(fileNameOf(name)).size();
    if (extension != 0 && extension <= kMaxHtmlExtension) {
        return {};
    }
    return std::string(name) + ".html";
}

bool TakesStartDocName(std::string_view contentType, std::string_view url) {
    const std::string named =
        contentType.empty() ? FileExtOf(DocumentName(url)) : std::string(contentType);
    return lowerCase(named).find("htm") != std::string::npos;
}

bool ErrorPageNeedsHtmlName(std::string_view name) {
    const std::string extension = lowerCase(FileExtOf(fileNameOf(name)));
    return !extension.empty() && extension != ".htm" && extension != ".html";
}

}  // namespace quillharbor
