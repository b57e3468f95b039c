#include "clients/ftp_url_names.h"

#include <algorithm>

#include "clients/http_local_name.h"
#include "parser/percent_encoding.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

std::string_view lastSegment(std::string_view url) {
    const std::string_view segment = url.substr(url.rfind('/') + 1);
    return segment.substr(0, segment.find_first_of("?#"));
}

}  // namespace

std::string FtpRemoteDirectory(std::string_view url) {
    return PercentDecode(FtpDirOf(url));
}

std::string FtpRemoteFileName(std::string_view url) {
    // Without a path the URL names no file (and no directory to change to).
    return FtpDirOf(url).empty() ? std::string() : PercentDecode(lastSegment(url));
}

std::string FtpLocalName(std::string_view url) {
    std::string name = FtpRemoteFileName(url);
    // What would split or cut the name in the shared cleaner is made "-" first.
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '?'; }, '-');
    return DocumentName("/" + name);
}

}  // namespace quillharbor
