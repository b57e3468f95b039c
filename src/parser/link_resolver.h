#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// Makes a link found in a document absolute against the document's base URL, or empties it
// when it cannot be followed (a fragment alone, a backslash, another scheme, a "../" chain that
// would climb above the host). Beyond the rules below nothing is normalised: "a/../b" keeps its
// dots, case stays as written and nothing is percent-decoded.
//   "../x"   climbs from the base's directory, one level per "../"
//   "./x"    the base's directory + "x"
//   "//h/x"  a scheme is added ("ftp://" for a host beginning with "ftp", else "http://")
//   "/x"     the base's host + "/x"
//   "h.d/x"  a dot before the first slash makes it a host name without scheme: "http://h.d/x"
//   "x"      the base's directory + "x"
//   http and ftp URLs are kept; one of scheme and host only gets its root slash.
// A base of scheme and host only counts as that host's root.
void ResolveLink(std::string& link, std::string_view base);

}  // namespace quillharbor
