#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// The absolute URL a location value leads to from `base` (an absolute http URL): the reference
// resolution of RFC 3986 with its dot-segment removal, for "http://h/p", "//h/p", "/p", "?q"
// and relative paths alike. A fragment is dropped, so it never reaches a request line, and so
// are the blanks around the value. A relative location keeps the base's scheme (http or https).
// nullopt when the value cannot be followed: empty, or naming another scheme ("ftp:",
// "mailto:", ...); "https:" is followed only with followHttps.
std::optional<std::string> resolveHttpRedirect(std::string_view base, std::string_view value,
                                               bool followHttps = false);

}  // namespace quillharbor
