#include "clients/ftp_directory_page.h"

#include "clients/ftp_url_names.h"
#include "parser/percent_encoding.h"

namespace quillharbor {

namespace {

std::string htmlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The URL as it may stand inside a quoted attribute; its other bytes stay as the task has them.
std::string attributeSafe(std::string_view url) {
    std::string safe;
    for (const char c : url) {
        safe += c == '"' || c == '<' || c == '>' ? PercentEncodeSegment(std::string_view(&c, 1))
                                                 : std::string(1, c);
    }
    return safe;
}

}  // namespace

std::string FtpDirectoryPage(std::string_view directoryUrl,
                             const std::vector<FtpListingEntry>& entries) {
    const std::string title = "Index of " + htmlEscaped(FtpRemoteDirectory(directoryUrl));
    std::string page = "<!DOCTYPE html>\n<html><head><title>" + title +
                       "</title></head>\n<body><h1>" + title + "</h1>\n<ul>\n";
    const std::string base = attributeSafe(directoryUrl);
    for (const FtpListingEntry& entry : entries) {
        const std::string suffix = entry.directory ? "/" : "";
        page += "<li><a href=\"";
        page += base + PercentEncodeSegment(entry.name) + suffix + "\">";
        page += htmlEscaped(entry.name) + suffix + "</a></li>\n";
    }
    page += "</ul>\n</body></html>\n";
    return page;
}

}  // namespace quillharbor
