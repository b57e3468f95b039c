#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The client's DocName for a request path: the last path segment without the query, at most 255
// bytes; "document.htm" when that leaves nothing. One trailing "/" is dropped first, so "/dir/"
// names "dir".
std::string docNameFromPath(std::string_view path);

// A program served as HTML is saved under an ".htm" name: "x.exe" becomes "x.htm" (the extension
// compared without case). Other names are returned as they are.
std::string htmlDocName(std::string_view docName, std::string_view contentType);

}  // namespace quillharbor
