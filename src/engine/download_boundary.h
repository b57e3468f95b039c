#pragma once

#include <string>

namespace quillharbor {

// The directory of a starting URL as a boundary: its DirPart when that reaches past the host,
// else the host with a slash ("http://h" has the DirPart "http://", which would let in every
// host).
std::string directoryBoundary(const std::string& url);

// The boundary prefix of a "Download from" choice for a starting URL: 1 its host ("http://h/"),
// 2 its directory (directoryBoundary), anything else no boundary (anywhere).
std::string boundaryFor(int downloadFrom, const std::string& url);

}  // namespace quillharbor
