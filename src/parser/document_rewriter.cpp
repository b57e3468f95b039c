#include "parser/document_rewriter.h"

#include <algorithm>
#include <iterator>

#include "parser/ascii.h"
#include "parser/attribute_scanner.h"
#include "parser/link_resolver.h"
#include "parser/link_tokenizer.h"

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

}  // namespace

std::vector<TParseURLInfo> FindRewritableLinks(const HtmlBuffer& buffer, std::string_view baseUrl,
                                               bool alreadyRewritten) {
    std::string base(baseUrl);
    std::vector<TParseURLInfo> links;
    forEachLinkAttribute(
        buffer, [&](std::string_view attribute, LinkAttributeRole role, std::size_t& position) {
            if (role == LinkAttributeRole::Base) {
                std::string value = GetAttrValue(buffer, attribute, position);
                ResolveLink(value, base);
                if (!value.empty()) {
                    base = std::move(value);
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
        if (const std::string_view localName = localNameOf(link.URL); !localName.empty()) {
            appendEncoded(out, localName, true);
        } else {
            appendEncoded(out, link.URL, false);
        }
        last = link.EndPos;
    }
    out.append(document.substr(last));
    return out;
}

std::string RewriteDocument(const HtmlBuffer& buffer, std::string_view base, bool alreadyRewritten,
                            const LocalNameLookup& localNameOf) {
    return SpliceLinks(buffer.document(), FindRewritableLinks(buffer, base, alreadyRewritten),
                       localNameOf);
}

}  // namespace quillharbor
