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

enum class LinkKind {
    Page,       // another document
    Requisite,  // a file needed to show this page: a picture, a script, a style sheet
};

struct FoundLink {
    std::string url;
    LinkKind kind = LinkKind::Page;
};

// ExtractLinks (resolved) over forEachLinkAndRequisite: the page's links and its requisites,
// each srcset candidate and each url(...) or @import of its style attributes and "style"
// elements one requisite, in document order.
void ExtractLinksAndRequisites(const HtmlBuffer& buffer, std::vector<FoundLink>& links,
                               std::string_view baseUrl);

// The references of a style sheet (FindCssReferences), resolved against its URL; those that
// cannot be followed are left out.
void ExtractCssLinks(std::string_view css, std::vector<std::string>& links,
                     std::string_view baseUrl);

}  // namespace quillharbor
