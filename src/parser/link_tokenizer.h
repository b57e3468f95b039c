#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "parser/html_buffer.h"

namespace quillharbor {

enum class LinkAttributeRole {
    Link,       // a link to another document
    Base,       // the "href" of a "base" tag: the base for the links after it
    Requisite,  // a file the page shows or runs: a picture, a script, a style sheet
    Srcset,     // a list of pictures, each a requisite (SrcsetUrlRanges)
    Style,      // a "style" attribute: CSS text whose url(...) are requisites
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

// The CSS text of a "style" element: [begin, end) of the buffer.
using StyleTextVisitor = std::function<void(std::size_t begin, std::size_t end)>;

// forEachLinkAttribute that also visits what a page needs to be shown: "link" href whose rel
// names a stylesheet, icon, preload, modulepreload or manifest (Requisite), "img" and "source"
// srcset (Srcset), "source" src, "video" poster and "object" data (Requisite), the "style"
// attribute of every tag (Style), and the text of each "style" element, which ends at the next
// "</style" whatever stands before it (visitStyle). Each tag gets one more attribute scan for its
// style; the table's own attributes keep their roles, the pictures, scripts and backgrounds being
// Requisite.
void forEachLinkAndRequisite(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit,
                             const StyleTextVisitor& visitStyle);

}  // namespace quillharbor
