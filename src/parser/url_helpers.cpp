#include "parser/url_helpers.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <vector>

#include "parser/ascii.h"
#include "parser/percent_encoding.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

constexpr std::string_view kNameSeparators = "/\\";

std::string joinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    path += name;
    return path;
}

}  // namespace

std::string StripFragment(std::string_view url) {
    return std::string(url.substr(0, url.find('#')));
}

std::string_view WithoutQuery(std::string_view url) {
    return url.substr(0, url.find_first_of("?#"));
}

namespace {

bool isSchemeByte(char c) {
    return isAsciiAlnum(c) || c == '+' || c == '-' || c == '.';
}

// The first '/', '?' or '#' at or after from, where a URL's authority ends; npos when none.
// std::string_view::find_first_of calls memchr for every byte, and every URL loaded or queued is
// scanned here.
std::size_t authorityEnd(std::string_view url, std::size_t from) {
    const auto end = std::find_if(url.begin() + static_cast<std::ptrdiff_t>(from), url.end(),
                                  [](char c) { return c == '/' || c == '?' || c == '#'; });
    return end == url.end() ? std::string_view::npos : static_cast<std::size_t>(end - url.begin());
}

// Where the host of an http or ftp URL begins: after "scheme://", or after the colon when the
// slashes are missing.
std::size_t authorityStart(std::string_view url) {
    const std::size_t colon = url.find(':');
    return url.compare(colon + 1, 2, "//") == 0 ? colon + 3 : colon + 1;
}

}  // namespace

UrlType UrlKind(std::string_view url) {
    const std::size_t stop = url.find_first_of(":/?#");
    if (stop == std::string_view::npos || stop == 0 || url[stop] != ':') {
        return UrlType::NoScheme;
    }
    const std::string_view scheme = url.substr(0, stop);
    if (!std::ranges::all_of(scheme, isSchemeByte)) {
        return UrlType::NoScheme;
    }
    if (scheme == "ftp") {
        return UrlType::Ftp;
    }
    if (scheme == "http") {
        return UrlType::Http;
    }
    if (scheme == "https") {
        return UrlType::Https;
    }
    return UrlType::OtherScheme;
}

Protocol UrlProtocol(std::string_view url) {
    switch (UrlKind(url)) {
        case UrlType::Http:
        case UrlType::Https:
            return Protocol::Http;
        case UrlType::Ftp:
            return Protocol::Ftp;
        case UrlType::NoScheme:
            return url.starts_with("ftp") ? Protocol::Ftp : Protocol::Http;
        case UrlType::OtherScheme:
            break;
    }
    return Protocol::Other;
}

void AddScheme(std::string& url) {
    if (UrlKind(url) != UrlType::NoScheme) {
        return;
    }
    url.insert(0, UrlProtocol(url) == Protocol::Ftp ? "ftp://" : "http://");
}

std::string HostPart(std::string_view url) {
    switch (UrlKind(url)) {
        case UrlType::OtherScheme:
            return {};
        case UrlType::NoScheme:
            return std::string(url.substr(0, authorityEnd(url, 0)));
        case UrlType::Http:
        case UrlType::Https:
        case UrlType::Ftp:
            break;
    }
    return std::string(url.substr(0, authorityEnd(url, authorityStart(url))));
}

std::string SchemeTwin(std::string_view url) {
    const UrlType kind = UrlKind(url);
    if (kind != UrlType::Http && kind != UrlType::Https) {
        return {};
    }
    const bool secure = kind == UrlType::Https;
    const std::size_t hostBegin = authorityStart(url);
    const std::size_t hostEnd = authorityEnd(url, hostBegin);
    std::string_view authority = url.substr(hostBegin, hostEnd - hostBegin);
    const std::size_t at = authority.rfind('@');
    const std::string_view hostPort = authority.substr(at == std::string_view::npos ? 0 : at + 1);
    const std::size_t colon = hostPort.rfind(':');
    if (colon != std::string_view::npos && hostPort.find(']', colon) == std::string_view::npos) {
        // A port that is not the scheme's own names another server, not the other scheme's.
        if (hostPort.substr(colon) != (secure ? ":443" : ":80")) {
            return {};
        }
        authority.remove_suffix(hostPort.size() - colon);
    }
    // The twin keeps the URL's own form ("https:a" is "http:a"), so each is the other's twin.
    std::string twin = secure ? "http:" : "https:";
    if (hostBegin == url.find(':') + 3) {
        twin += "//";
    }
    twin += authority;
    if (hostEnd != std::string_view::npos) {
        twin += url.substr(hostEnd);
    }
    return twin;
}

std::string DirPart(std::string_view url) {
    url = WithoutQuery(url);
    const std::size_t slash = url.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(url.substr(0, slash + 1));
}

namespace {

std::size_t ftpHostStart(std::string_view url) {
    const std::size_t marker = url.find("//");
    return marker == std::string_view::npos ? 0 : marker + 2;
}

}  // namespace

std::string FtpHostOf(std::string_view url) {
    const std::size_t start = ftpHostStart(url);
    return std::string(url.substr(start, url.find('/', start) - start));
}

std::string FtpDirOf(std::string_view url) {
    const std::size_t first = url.find('/', ftpHostStart(url));
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(url.substr(first, url.rfind('/') - first + 1));
}

std::string FileExtOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string NameWithoutExt(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return std::string(name);
    }
    return std::string(name.substr(0, dot));
}

std::string LocalNameFromUrl(std::string_view url) {
    url = url.substr(0, url.find('#'));
    const std::string_view path = WithoutQuery(url);
    const std::size_t separator = path.find_last_of(kNameSeparators);
    if (separator == std::string_view::npos) {
        return {};
    }
    if (url[separator] == '/' && separator > 0 && url[separator - 1] == '/') {
        return {};
    }
    // An empty segment before a query is named after the query, as "-a=1" for "/?a=1".
    const std::string_view segment =
        url.substr(separator + 1, separator + 1 == path.size() ? std::string_view::npos
                                                               : path.size() - separator - 1);
    std::string name;
    for (const char c : segment) {
        // NUL joins the Windows set: on this system it would silently cut the path short.
        const bool forbidden =
            c == '\0' || std::string_view("\\/:*?<>|'").find(c) != std::string_view::npos;
        name += forbidden ? '-' : c;
    }
    // "." and ".." name directories here; as file names they would reach outside the task's own
    // entries, so they are treated like a URL that ends with a slash.
    if (name == "." || name == "..") {
        return {};
    }
    return name;
}

std::string FirstFreeName(std::string_view name,
                          const std::function<bool(std::string_view)>& taken) {
    if (!taken(name)) {
        return std::string(name);
    }
    // A path keeps its folders; the number goes into its file name.
    const std::size_t folders = name.rfind('/') + 1;
    const std::string_view file = name.substr(folders);
    const std::string stem = NameWithoutExt(file);
    // A name whose only dot is its first character is all stem: repeating it as an extension
    // would give ".profile-1.profile".
    const std::string extension = stem.size() == file.size() ? std::string() : FileExtOf(file);
    for (std::uint64_t n = 1;; ++n) {
        std::string candidate =
            std::string(name.substr(0, folders)) + stem + "-" + std::to_string(n) + extension;
        if (!taken(candidate)) {
            return candidate;
        }
    }
}

std::string MakeUniqueName(std::string_view name, std::string_view directory) {
    return FirstFreeName(name, [directory](std::string_view candidate) {
        return fileExists(joinPath(directory, candidate));
    });
}

void CleanTypedUrl(std::string& text) {
    text.resize(std::min(text.find('\0'), text.size()));
    std::size_t begin = 0;
    while (begin < text.size() && isBlankOrControl(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && isBlankOrControl(text[end - 1])) {
        --end;
    }
    text = StripFragment(std::string_view(text).substr(begin, end - begin));
    switch (UrlKind(text)) {
        case UrlType::OtherScheme:
            text.clear();
            return;
        case UrlType::NoScheme:
            if (text.starts_with("//")) {
                text.erase(0, 2);
            }
            if (text.empty()) {
                return;
            }
            if (const std::size_t pathEnd = WithoutQuery(text).size(); text.find('/') >= pathEnd) {
                text.insert(pathEnd, "/");
            }
            AddScheme(text);
            break;
        case UrlType::Http:
        case UrlType::Https:
        case UrlType::Ftp:
            if (const std::size_t hostEnd = HostPart(text).size();
                hostEnd == WithoutQuery(text).size()) {
                text.insert(hostEnd, "/");
            }
            break;
    }
    NormaliseUrlPath(text);
}

std::optional<std::string> RemoveDotSegments(std::string_view path, DotDotAtRoot atRoot) {
    const bool rooted = path.starts_with('/');
    std::string out = rooted ? "/" : "";
    std::vector<std::size_t> kept;  // where each kept segment begins in out
    std::size_t start = rooted ? 1 : 0;
    for (;;) {
        std::size_t end = path.find('/', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = path.size();
        }
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!kept.empty()) {
                out.resize(kept.back());
                kept.pop_back();
            } else if (atRoot == DotDotAtRoot::Fail) {
                return std::nullopt;
            }
        } else if (segment != ".") {
            kept.push_back(out.size());
            out += segment;
            if (!last) {
                out += '/';
            }
        }
        if (last) {
            return out;
        }
        start = end + 1;
    }
}

void NormaliseUrlPath(std::string& url) {
    std::size_t pathBegin = 0;
    switch (UrlKind(url)) {
        case UrlType::OtherScheme:
            return;
        case UrlType::Http:
        case UrlType::Https:
        case UrlType::Ftp:
            pathBegin = HostPart(url).size();
            break;
        case UrlType::NoScheme:
            break;
    }
    const std::string_view whole(url);
    const std::size_t queryBegin = WithoutQuery(whole).size();
    const std::optional<std::string> path =
        RemoveDotSegments(whole.substr(pathBegin, queryBegin - pathBegin), DotDotAtRoot::Fail);
    if (!path) {
        url.clear();
        return;
    }
    url = std::string(whole.substr(0, pathBegin)) + PercentEncodeUrl(*path) +
          PercentEncodeUrl(whole.substr(queryBegin));
}

std::int64_t FirstNumberIn(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isAsciiDigit(text[i])) {
        ++i;
    }
    while (i < text.size() && !isAsciiDigit(text[i])) {
        ++i;
    }
    std::size_t end = i;
    while (end < text.size() && isAsciiDigit(text[end])) {
        ++end;
    }
    std::int64_t value = 0;
    const auto [stop, error] = std::from_chars(text.data() + i, text.data() + end, value);
    return error == std::errc() && stop == text.data() + end ? value : 0;
}

}  // namespace quillharbor
