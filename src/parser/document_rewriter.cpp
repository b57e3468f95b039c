#include "parser/document_rewriter.h"

#include <algorithm>
#include <iterator>

#include "parser/ascii.h"
#include "parser/attribute_scanner.h"
#include "parser/css_scanner.h"
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

bool endsCssUrl(char c) {
    return c == '(' || c == ')' || c == '\\';
}

void appendEncoded(std::string& out, std::string_view text, bool isLocalName, bool inCss) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (char c : text) {
        if (endsAttributeValue(c) || (isLocalName && isUrlSyntax(c)) || (inCss && endsCssUrl(c))) {
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

// The link a value names, or nothing: resolved unless the page was rewritten before, and only
// when it then holds a slash.
bool keepsLink(std::string& value, std::string_view base, bool alreadyRewritten) {
    if (!alreadyRewritten) {
        ResolveLink(value, base);
    }
    return value.find('/') != std::string::npos;
}

// The part of [begin, end) of text before a "#": the fragment stays in the file.
std::size_t beforeFragment(std::string_view text, std::size_t begin, std::size_t end) {
    const std::size_t hash = text.substr(begin, end - begin).find('#');
    return hash == std::string_view::npos ? end : begin + hash;
}

// The links of CSS text that starts at offset of the buffer.
void addCssLinks(std::vector<TParseURLInfo>& links, std::string_view css, std::size_t offset,
                 std::string_view base, bool alreadyRewritten) {
    for (CssReference& reference : FindCssReferences(css)) {
        const std::size_t end = beforeFragment(css, reference.begin, reference.end);
        std::string url = reference.url.substr(0, reference.url.find('#'));
        if (keepsLink(url, base, alreadyRewritten)) {
            insertInOrder(links,
                          {std::move(url), offset + reference.begin - 1, offset + end, true});
        }
    }
}

void addSrcsetLinks(std::vector<TParseURLInfo>& links, const AttrValuePosition& srcset,
                    std::string_view base, bool alreadyRewritten) {
    const std::size_t valueStart = srcset.start + 1;
    for (const auto& [begin, end] : SrcsetUrlRanges(srcset.value)) {
        const std::size_t kept = beforeFragment(srcset.value, begin, end);
        std::string url = srcset.value.substr(begin, kept - begin);
        if (kept > begin && keepsLink(url, base, alreadyRewritten)) {
            insertInOrder(links, {std::move(url), valueStart + begin - 1, valueStart + kept});
        }
    }
}

}  // namespace

std::vector<TParseURLInfo> FindRewritableLinks(const HtmlBuffer& buffer, std::string_view baseUrl,
                                               bool alreadyRewritten) {
    std::string base(baseUrl);
    std::vector<TParseURLInfo> links;
    forEachLinkAndRequisite(
        buffer,
        [&](std::string_view attribute, LinkAttributeRole role, std::size_t& position) {
            switch (role) {
                case LinkAttributeRole::Base: {
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
                case LinkAttributeRole::Srcset:
                    addSrcsetLinks(links, GetAttrValueRange(buffer, attribute, position), base,
                                   alreadyRewritten);
                    return;
                case LinkAttributeRole::Style: {
                    const AttrValuePosition style = GetAttrValueRange(buffer, attribute, position);
                    if (style.end != 0) {
                        addCssLinks(links, style.value, style.start + 1, base, alreadyRewritten);
                    }
                    return;
                }
                case LinkAttributeRole::Link:
                case LinkAttributeRole::Requisite: {
                    AttrValuePosition found = GetAttrValuePos(buffer, attribute, position);
                    if (keepsLink(found.value, base, alreadyRewritten)) {
                        insertInOrder(links, {std::move(found.value), found.start, found.end});
                    }
                    return;
                }
            }
        },
        [&](std::size_t begin, std::size_t end) {
            addCssLinks(links, buffer.document().substr(begin, end - begin), begin, base,
                        alreadyRewritten);
        });
    dropOverlaps(links);
    return links;
}

std::vector<TParseURLInfo> FindRewritableCssLinks(std::string_view css, std::string_view base,
                                                  bool alreadyRewritten) {
    std::vector<TParseURLInfo> links;
    addCssLinks(links, css, 0, base, alreadyRewritten);
    return links;
}

std::string RelativeLocalPath(std::string_view fromPath, std::string_view toPath) {
    // The folders both paths share, through the last "/" they have in common.
    std::size_t shared = 0;
    for (std::size_t i = 0; i < fromPath.size() && i < toPath.size() && fromPath[i] == toPath[i];
         ++i) {
        if (fromPath[i] == '/') {
            shared = i + 1;
        }
    }
    std::string path;
    for (std::size_t i = shared; i < fromPath.size(); ++i) {
        if (fromPath[i] == '/') {
            path += "../";
        }
    }
    path += toPath.substr(shared);
    return path;
}

std::string SpliceLinks(std::string_view document, const std::vector<TParseURLInfo>& links,
                        const LocalNameLookup& localNameOf, std::string_view pagePath) {
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
            appendEncoded(out, RelativeLocalPath(pagePath, localName), true, link.InCss);
        } else {
            appendEncoded(out, link.URL, false, link.InCss);
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
                            const LocalNameLookup& localNameOf, std::string_view pagePath) {
    return SpliceLinks(buffer.document(), FindRewritableLinks(buffer, base, alreadyRewritten),
                       localNameOf, pagePath);
}

}  // namespace quillharbor
