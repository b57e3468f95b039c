#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/html_buffer.h"

namespace quillharbor {

// Appends the links of an HTML document to links, in document order, duplicates included (an
// img tag can give three). Each link is resolved with ResolveLink against the base, which starts
// as baseUrl and is replaced by the resolved href of a "base" tag; links that cannot be followed
// are left out. In rawMode the attribute values are appended exactly as written (fragments and
// relative links included), though a "base" tag is still followed. Malformed markup only yields
// fewer links. The walk is linear in the document's size.
void ExtractLinks(const HtmlBuffer& buffer, std::vector<std::string>& links, bool rawMode,
                  std::string_view baseUrl);

}  // namespace quillharbor
