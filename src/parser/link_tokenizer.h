#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "parser/html_buffer.h"

namespace quillharbor {

enum class LinkAttributeRole {
    Link,  // a link of the document
    Base,  // the "href" of a "base" tag: the base for the links after it
};

// Scans one link attribute of the current tag: position goes in as the first byte after the tag
// name and must come out where the attribute scan stopped (GetAttrValue and GetAttrValuePos move
// it that way).
using LinkAttributeVisitor =
    std::function<void(std::string_view attribute, LinkAttributeRole role, std::size_t& position)>;

// Walks the document in one pass, in document order, and calls visit for every attribute that
// carries a link: a, area (href), base (href, as Base), body, table, td, th (background), embed,
// frame, iframe, input, script (src), and img (src, lowsrc, dynsrc: three calls, each from the end
// of the tag name). Tag names ignore ASCII case. Comments end at their first '>'; the text of
// "comment" and "plaintext" elements and of scripts (outside a "noscript" inside them) yields
// nothing. Link extraction and link rewriting share this walk, so that both see the same links.
void forEachLinkAttribute(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit);

}  // namespace quillharbor
