// Style sheets and srcset values. Every reference must lie inside the text, after the "url(" or
// quote that opens it, in ascending order and apart; a rewrite of the sheet must keep every byte
// outside the replaced references.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parser/css_scanner.h"
#include "parser/document_rewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const std::string_view css(reinterpret_cast<const char*>(data), size);
    std::size_t last = 0;
    for (const CssReference& reference : FindCssReferences(css)) {
        check(reference.begin >= last && reference.begin > 0 && reference.begin < reference.end &&
              reference.end <= size && !reference.url.empty());
        last = reference.end;
    }
    last = 0;
    for (const auto& [begin, end] : SrcsetUrlRanges(css)) {
        check(begin >= last && begin < end && end <= size);
        last = end;
    }
    const auto links = FindRewritableCssLinks(css, "http://H/a/s.css", (size & 1) != 0);
    const std::string rewritten =
        SpliceLinks(css, links, [](std::string_view) { return std::string_view(); });
    last = 0;
    std::size_t out = 0;
    for (const TParseURLInfo& link : links) {
        check(link.StartPos >= last && link.StartPos < link.EndPos && link.EndPos <= size);
        const std::string_view kept = css.substr(last, link.StartPos + 1 - last);
        check(rewritten.compare(out, kept.size(), kept) == 0);
        out = rewritten.find(css.substr(link.EndPos, 1), out + kept.size());
        check(out != std::string::npos || link.EndPos == size);
        last = link.EndPos;
    }
    return 0;
}
