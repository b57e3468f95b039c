#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_listing.h"

namespace quillharbor {

// The page saved for a listed FTP directory: an HTML index with one link per entry, so the link
// intake takes the entries as links of the directory and the offline copy has a page to open.
// Each link is the directory's URL (ending with "/") followed by the entry's name %-encoded, and
// a "/" for a directory; the shown names are HTML-escaped.
std::string FtpDirectoryPage(std::string_view directoryUrl,
                             const std::vector<FtpListingEntry>& entries);

}  // namespace quillharbor
