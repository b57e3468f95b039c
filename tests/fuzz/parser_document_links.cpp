// The links of a document. Input: one byte of flags (bit 0: the page was rewritten before; bit 1:
// another base URL; the rest: the attribute scanned for), then the document, which is also read
// as a style sheet and a srcset value.
// - An attribute scan from the start and from each "<" moves forward inside the buffer, and a
//   value found is exactly the document's bytes strictly between its start and end.
// - Every link the extractor resolves is an http, https or ftp URL: the base starts absolute and
//   a "base" tag can only replace it with a resolved URL.
// - Style sheet references and srcset candidates lie inside the text, ascending and apart, a
//   reference after the "url(" or quote that opens it; a rewritten sheet keeps every byte
//   outside the replaced references.
// - The links the rewriter finds lie inside the document, ascending and apart; its output is
//   exactly the document's bytes outside the replaced values, in order, with each value replaced
//   by its local name or URL, percent-encoded so that it cannot end its attribute.
// The whole input is also a robots.txt body for one host: every prefix must belong to that host
// and be found by IsExcluded, which must agree with a plain scan for each prefix less its last
// byte and for a URL made from the body's first line. And it is a base, a line feed, then a link:
// a link with a backslash before its fragment (once read as an attribute value) is dropped;
// against an http, https or ftp base every link kept must stay such a URL, without fragment,
// with nothing left to encode and without dot segments in its path.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "parser/attribute_scanner.h"
#include "parser/attribute_url.h"
#include "parser/css_scanner.h"
#include "parser/document_rewriter.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/link_resolver.h"
#include "parser/robots_rules.h"
#include "parser/url_helpers.h"

namespace {

using namespace quillharbor;

bool fetchable(std::string_view url) {
    const UrlType kind = UrlKind(url);
    return kind == UrlType::Http || kind == UrlType::Https || kind == UrlType::Ftp;
}

void checkAttributeScans(const HtmlBuffer& buffer, std::string_view name) {
    const std::size_t length = buffer.size() + HtmlBuffer::kSentinel.size();
    for (std::size_t start = 0; start < buffer.size();
         start = buffer.document().find('<', start + 1)) {
        std::size_t position = start;
        const AttrValuePosition found = GetAttrValuePos(buffer, name, position);
        check(position >= start && position < length);
        if (!found.value.empty()) {
            check(found.start < found.end && found.end <= buffer.size());
            check(buffer.document().substr(found.start + 1, found.end - found.start - 1) ==
                  found.value);
        }
        position = start;
        const std::string plain = GetAttrValue(buffer, name, position);
        check(position >= start && position < length);
        check(std::string_view(plain).starts_with(found.value));
    }
}

void checkExtracted(const HtmlBuffer& buffer) {
    std::vector<std::string> links;
    ExtractLinks(buffer, links, false, "http://H/d/p.html");
    for (const std::string& link : links) check(fetchable(link));
    std::vector<FoundLink> withRequisites;
    ExtractLinksAndRequisites(buffer, withRequisites, "http://H/d/p.html");
    for (const FoundLink& link : withRequisites) check(fetchable(link.url));
    std::vector<std::string> raw;
    ExtractLinks(buffer, raw, true, "http://H/d/p.html");
}

void checkStyleSheet(std::string_view css, bool alreadyRewritten) {
    std::size_t last = 0;
    for (const CssReference& reference : FindCssReferences(css)) {
        check(reference.begin >= last && reference.begin > 0 && reference.begin < reference.end &&
              reference.end <= css.size() && !reference.url.empty());
        last = reference.end;
    }
    last = 0;
    for (const auto& [begin, end] : SrcsetUrlRanges(css)) {
        check(begin >= last && begin < end && end <= css.size());
        last = end;
    }
    const auto links = FindRewritableCssLinks(css, "http://H/a/s.css", alreadyRewritten);
    const std::string rewritten =
        SpliceLinks(css, links, [](std::string_view) { return std::string_view(); });
    last = 0;
    std::size_t out = 0;
    for (const TParseURLInfo& link : links) {
        check(link.StartPos >= last && link.StartPos < link.EndPos && link.EndPos <= css.size());
        const std::string_view kept = css.substr(last, link.StartPos + 1 - last);
        check(rewritten.compare(out, kept.size(), kept) == 0);
        out = rewritten.find(css.substr(link.EndPos, 1), out + kept.size());
        check(out != std::string::npos || link.EndPos == css.size());
        last = link.EndPos;
    }
}

// Half of the URLs name a retrieved object; its name is the URL's tail, whatever bytes it holds.
std::string_view localNameOf(std::string_view url) {
    return url.size() % 2 == 0 ? url.substr(url.size() / 2) : std::string_view();
}

std::string encoded(std::string_view text, bool isLocalName, bool inCss) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    const std::string urlSyntax = std::string(isLocalName ? "%#?" : "") + (inCss ? "()\\" : "");
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 32 || byte == 127 ||
            std::string_view("\"'<>").find(c) != std::string_view::npos ||
            urlSyntax.find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

void checkRewritten(const HtmlBuffer& buffer, std::string_view base, bool alreadyRewritten) {
    const std::string_view document = buffer.document();
    std::string expected;
    std::size_t last = 0;
    for (const TParseURLInfo& link : FindRewritableLinks(buffer, base, alreadyRewritten)) {
        check(link.StartPos >= last && link.StartPos < link.EndPos &&
              link.EndPos <= document.size());
        expected.append(document.substr(last, link.StartPos + 1 - last));
        last = link.EndPos;
        if (link.URL.empty()) {
            continue;  // a base href taken out
        }
        check(link.URL.find('/') != std::string::npos);
        const std::string_view name = localNameOf(link.URL);
        expected +=
            name.empty() ? encoded(link.URL, false, link.InCss) : encoded(name, true, link.InCss);
    }
    expected.append(document.substr(last));
    check(RewriteDocument(buffer, base, alreadyRewritten, localNameOf) == expected);
}

void checkRobotsRules(std::string_view body) {
    DisallowList disallow;
    ParseRobotsTxt(body, disallow, "http://H/robots.txt");
    const auto agreesWithPlainScan = [&](std::string_view url) {
        bool expected = false;
        for (const std::string& prefix : disallow) {
            expected = expected || (!prefix.empty() && url.starts_with(prefix));
        }
        check(IsExcluded(url, disallow) == expected);
    };
    for (const std::string& prefix : disallow) {
        check(prefix.starts_with("http://H/"));
        check(IsExcluded(prefix, disallow));
        agreesWithPlainScan(std::string_view(prefix).substr(0, prefix.size() - 1));
    }
    std::size_t position = 0;
    agreesWithPlainScan("http://H/" + std::string(ReadLine(body, position)));
}

void checkResolved(std::string_view input) {
    const auto [base, value] = splitAtLineFeed(input);
    std::string link(value);
    const bool hadBackslash =
        StripFragment(UrlFromAttributeValue(link)).find('\\') != std::string::npos;
    ResolveLink(link, base);
    if (link.empty()) {
        return;
    }
    check(!hadBackslash && (!fetchable(base) || fetchable(link)));
    std::string again = link;
    NormaliseUrlPath(again);
    check(link.find('#') == std::string::npos && again == link);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkRobotsRules(asText(data, size));
    checkResolved(asText(data, size));
    if (size < 1) {
        return 0;
    }
    const bool alreadyRewritten = (data[0] & 1) != 0;
    const std::string_view base = (data[0] & 2) != 0 ? "http://h:81/" : "http://H/a/b/p.html";
    const std::string_view document = asText(data + 1, size - 1);
    const HtmlBuffer buffer(document);
    constexpr std::string_view kNames[] = {"href", "src", "lowsrc", "background", "x"};
    checkAttributeScans(buffer, kNames[(data[0] >> 2) % std::size(kNames)]);
    checkExtracted(buffer);
    checkStyleSheet(document, alreadyRewritten);
    checkRewritten(buffer, base, alreadyRewritten);
    return 0;
}
