#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// Makes a link found in a document absolute against the document's base URL, or empties it
// when it cannot be followed (a fragment alone, a backslash, another scheme, no host, a ".."
// that would climb past the root). The link is first read as browsers read an attribute value
// (UrlFromAttributeValue) and loses its fragment; then:
//   "?q"     the base without its query + "?q"
//   "//h/x"  a scheme is added ("ftp://" for a host beginning with "ftp", else "http://")
//   "/x"     the base's host + "/x"
//   "h.d/x"  a host name without scheme, "http://h.d/x", when the first segment ends in a label
//            of letters only that is no document extension ("v1.2/", "index.php/" are paths)
//   "x"      the base's directory (through its last slash before the query) + "x"
//   http and ftp URLs are kept.
// The result has its root slash (before its query: "http://h/?q"), no "." or ".." segments,
// and is percent-encoded (NormaliseUrlPath), so one document has one URL. Case stays as
// written and nothing is percent-decoded. A base of scheme and host only counts as that host's
// root.
void ResolveLink(std::string& link, std::string_view base);

}  // namespace quillharbor
