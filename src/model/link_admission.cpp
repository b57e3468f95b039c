#include "model/link_admission.h"

#include <algorithm>
#include <string>

#include "parser/ascii.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

bool holdsControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 32; });
}

// http and https of one host are one site: a link inside the boundary over the other scheme is
// inside it too.
bool insideBoundary(std::string_view link, const std::string& prefix) {
    return prefix.empty() || link.starts_with(prefix) || SchemeTwin(link).starts_with(prefix);
}

// Taken from the whole link: a directory link on a dotted host name gets the host's last label,
// and a query stays part of the extension.
bool extensionWanted(std::string_view link, const TTask& task) {
    if (task.Extensions.empty()) {
        return true;
    }
    std::string extension = FileExtOf(link);
    if (extension.empty()) {
        return false;
    }
    std::transform(extension.begin(), extension.end(), extension.begin(), toLowerAscii);
    extension += ' ';
    return task.Extensions.find(extension) != std::string::npos;
}

bool isHtml(const std::string& contentType, const std::string& url) {
    return !contentType.empty() ? contentType.find("htm") != std::string::npos
                                : url.find('.') == std::string::npos ||
                                      FileExtOf(url).find("htm") != std::string::npos;
}

bool isStyleSheet(const std::string& contentType, const std::string& url) {
    return !contentType.empty() ? contentType.find("css") != std::string::npos
                                : FileExtOf(WithoutQuery(url)) == ".css";
}

// The type and limit tests of a document of task at level; the file test is the caller's. A
// task that fetches page requisites scans every page and style sheet for them, at any level.
bool scannable(const TTask& task, std::int32_t level, const std::string& contentType,
               const std::string& url) {
    if (task.MaxFiles != 0 && task.MaxFiles <= task.Total) {
        return false;
    }
    const bool html = isHtml(contentType, url);
    if (html && (task.MaxLevels == 0 || task.MaxLevels > level)) {
        return true;
    }
    return TaskHasFlag(task, TaskFlag::PageRequisites) && (html || isStyleSheet(contentType, url));
}

}  // namespace

bool LinkAccepted(std::string_view link, const TTask& task) {
    if (holdsControlByte(link)) {
        return false;
    }
    const bool accepted =
        UrlProtocol(link) == Protocol::Ftp
            ? !LocalNameFromUrl(link).empty() && TaskHasFlag(task, TaskFlag::FollowFTP)
            : insideBoundary(link, task.BoundaryPrefix);
    return extensionWanted(link, task) && accepted;
}

bool ListingEntryAccepted(std::string_view link, const TTask& task) {
    if (holdsControlByte(link) ||
        !(insideBoundary(link, task.BoundaryPrefix) || TaskHasFlag(task, TaskFlag::FollowFTP))) {
        return false;
    }
    // A directory is listed to reach the files below it, whatever they are.
    return link.ends_with('/') || extensionWanted(link, task);
}

bool ShouldParse(const TDnObj& object) {
    // The file test last: it is the only one that asks the file system.
    return WouldParse(object, object.ContentType) &&
           fileExists(object.Task->Dir + object.LocalName);
}

bool WouldParse(const TDnObj& object, const std::string& contentType) {
    return !object.LocalName.empty() &&
           scannable(*object.Task, object.Level, contentType, object.URL);
}

bool TakesPageLinks(const TDnObj& page) {
    const std::int32_t maxLevels = page.Task->MaxLevels;
    return (maxLevels == 0 || maxLevels > page.Level) && !IsStyleSheet(page);
}

bool IsStyleSheet(const TDnObj& object) {
    return isStyleSheet(object.ContentType, object.URL);
}

bool ShouldParseCopy(const TDnObj& copy, const TDnObj& owner) {
    const TTask& task = *copy.Task;
    return TaskHasFlag(task, TaskFlag::Parse) &&
           scannable(task, copy.Level, owner.ContentType, copy.URL) && fileExists(copy.Location);
}

}  // namespace quillharbor
