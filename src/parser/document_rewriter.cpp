#include "parser/document_rewriter.h"

#include <algorithm>
#include <iterator>

#include "parser/ascii.h"
#include "parser/attribute_scanner.h"
#include "parser/link_resolver.h"
#include "parser/link_tokenizer.h"
#include "parser/percent_encoding.h"

namespace quillharbor {

namespace {

// Links arrive in document order, except within one img tag, whose scans all start at the end
// of the tag name; so the search below almost always ends at the back.
void insertInOrder(std::vector<TParseURLInfo>& links, TParseURLInfo link) {
    const auto after = std::ranges::upper_bound(links, link.StartPos, {}, &TParseURLInfo::StartPos);
    if (after != links.begin() && std::prev(after)->StartPos == link.StartPos) {
        return;
    }
    links.insert(after, std::move(link));
}

// "<img lowsrc src=x>" gives lowsrc the value "src=x" and src the value "x": splicing both
// would copy bytes twice and out of order.
void dropOverlaps(std::vector<TParseURLInfo>& links) {
    std::size_t copiedUpTo = 0;
    std::erase_if(links, [&copiedUpTo](const TParseURLInfo& link) {
        if (link.StartPos < copiedUpTo) {
            return true;
        }
        copiedUpTo = link.EndPos;
        return false;
    });
}

bool endsAttributeValue(char c) {
    return isBlankOrControl(c) || c == '\x7f' || c == '"' || c == '\'' || c == '<' || c == '>';
}

bool isUrlSyntax(char c) {
    return c == '%' || c == '#' || c == '?';
}

void appendEncoded(std::string& out, std::string_view text, bool isLocalName) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (char c : text) {
        if (endsAttributeValue(c) || (isLocalName && isUrlSyntax(c))) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
}

// Where the base element's href ends, past its closing quote or at the blank or '>' after an
// unquoted value: a fragment stops GetAttrValuePos short of it.
std::size_t attributeEnd(const HtmlBuffer& buffer, const AttrValuePosition& href) {
    const char* bytes = buffer.data();
    const bool quoted = bytes[href.start] == '"' || bytes[href.start] == '\'';
    const char closing = quoted ? bytes[href.start] : ' ';
    std::size_t p = href.end;
    while (p < buffer.size() && bytes[p] != closing && bytes[p] != '>' && bytes[p] != '<') {
        ++p;
    }
    return quoted && p < buffer.size() && bytes[p] == closing ? p + 1 : p;
}

// A base href left in a rewritten page would make a browser open every local name on the site.
// The record with no URL takes the attribute out with the blank before it. The tag name ends
// before that blank, so the record keeps at least its last byte.
TParseURLInfo baseHrefRemoval(const HtmlBuffer& buffer, const AttrValuePosition& href) {
    const std::size_t before = href.nameStart - 1;
    const std::size_t kept = isBlankOrControl(buffer.data()[before]) ? before - 1 : before;
    return {std::string(), kept, attributeEnd(buffer, href)};
}

}  // namespace

std::vector<TParseURLInfo> FindRewritableLinks(const HtmlBuffer& buffer, std::string_view baseUrl,
                                               bool alreadyRewritten) {
    std::string base(baseUrl);
    std::vector<TParseURLInfo> links;
    forEachLinkAttribute(
        buffer, [&](std::string_view attribute, LinkAttributeRole role, std::size_t& position) {
            if (role == LinkAttributeRole::Base) {
                std::size_t valueScan = position;
                std::string value = GetAttrValue(buffer, attribute, valueScan);
                ResolveLink(value, base);
                if (!value.empty()) {
                    base = std::move(value);
                }
                // Both scans stop at the end of the tag.
                if (const AttrValuePosition href = GetAttrValuePos(buffer, attribute, position);
                    href.end != 0) {
                    insertInOrder(links, baseHrefRemoval(buffer, href));
                }
                return;
            }
            AttrValuePosition found = GetAttrValuePos(buffer, attribute, position);
            if (!alreadyRewritten) {
                ResolveLink(found.value, base);
            }
            if (found.value.find('/') != std::string::npos) {
                insertInOrder(links, {std::move(found.value), found.start, found.end});
            }
        });
    dropOverlaps(links);
    return links;
}

std::string SpliceLinks(std::string_view document, const std::vector<TParseURLInfo>& links,
                        const LocalNameLookup& localNameOf) {
    std::string out;
    out.reserve(document.size());
    std::size_t last = 0;
    for (const TParseURLInfo& link : links) {
        out.append(document.substr(last, link.StartPos + 1 - last));
        last = link.EndPos;
        if (link.URL.empty()) {
            continue;  // a removed attribute: nothing goes in
        }
        if (const std::string_view localName = localNameOf(link.URL); !localName.empty()) {
            appendEncoded(out, localName, true);
        } else {
            appendEncoded(out, link.URL, false);
        }
    }
    out.append(document.substr(last));
    return out;
}

std::string LocalNameOfLink(std::string_view link) {
    link = link.substr(0, link.find('#'));
    return link.find('/') == std::string_view::npos ? PercentDecode(link) : std::string();
}

std::string RewriteDocument(const HtmlBuffer& buffer, std::string_view base, bool alreadyRewritten,
                            const LocalNameLookup& localNameOf) {
    return SpliceLinks(buffer.document(), FindRewritableLinks(buffer, base, alreadyRewritten),
                       localNameOf);
}

}  // namespace quillharbor
