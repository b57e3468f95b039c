#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The URL an attribute value stands for, read as browsers read it: blanks, tabs, CR and LF
// around it are trimmed, tabs, CR and LF inside it are dropped, and the character references
// decoded: "&#38;", "&#x26;" and the named ones of URLs ("&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;"), a code point becoming its UTF-8 bytes. A reference without its ";", of another
// name, or naming NUL, a surrogate or no code point stays as written.
std::string UrlFromAttributeValue(std::string_view value);

}  // namespace quillharbor
