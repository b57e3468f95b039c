#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The names an FTP URL gives: what the server is asked for, and what the file is saved as. A
// URL carries names %-encoded ("with%20space.txt"); the server and the disk get them decoded.

// The directory of the URL as CWD names it: FtpDirOf, %-decoded.
std::string FtpRemoteDirectory(std::string_view url);

// The last segment of the URL's path, before any "?" or "#", %-decoded; empty for a URL that
// ends with "/" (a directory). It may hold any byte: the client refuses line ends and NUL.
std::string FtpRemoteFileName(std::string_view url);

// The local file name: the remote name with each of \/:*?<>|' and NUL made "-", "index.html" for
// a directory or a name that would be "." or "..", bounded like every document name.
std::string FtpLocalName(std::string_view url);

}  // namespace quillharbor
