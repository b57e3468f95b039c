// Rewrites a document with links found by the rewriter itself. Input: one byte of flags (bit 0:
// the page was rewritten before; bit 1: another base URL), then the document. The links must
// lie inside the document, ascending and apart; the output must be exactly the document's bytes
// outside the replaced values, in order, with each value replaced by its local name or URL,
// percent-encoded so that it cannot end its attribute.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parser/document_rewriter.h"
#include "parser/html_buffer.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    if (size < 1) {
        return 0;
    }
    const bool alreadyRewritten = (data[0] & 1) != 0;
    const std::string_view base = (data[0] & 2) != 0 ? "http://h:81/" : "http://H/a/b/p.html";
    const std::string_view document(reinterpret_cast<const char*>(data) + 1, size - 1);
    const HtmlBuffer buffer(document);

    const auto links = FindRewritableLinks(buffer, base, alreadyRewritten);
    std::string expected;
    std::size_t last = 0;
    for (const TParseURLInfo& link : links) {
        check(link.StartPos >= last && link.StartPos < link.EndPos && link.EndPos <= size - 1);
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
    return 0;
}
