// Whole documents, resolved (with and without requisites) and raw. Every resolved link must be an
// http, https or ftp URL: the base starts absolute and a "base" tag can only replace it with a
// resolved URL.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/url_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const HtmlBuffer buffer(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> links;
    ExtractLinks(buffer, links, false, "http://H/d/p.html");
    for (const std::string& link : links) {
        const UrlType kind = UrlKind(link);
        if (kind != UrlType::Http && kind != UrlType::Https && kind != UrlType::Ftp) {
            std::abort();
        }
    }
    std::vector<FoundLink> withRequisites;
    ExtractLinksAndRequisites(buffer, withRequisites, "http://H/d/p.html");
    for (const FoundLink& link : withRequisites) {
        const UrlType kind = UrlKind(link.url);
        if (kind != UrlType::Http && kind != UrlType::Https && kind != UrlType::Ftp) {
            std::abort();
        }
    }
    std::vector<std::string> raw;
    ExtractLinks(buffer, raw, true, "http://H/d/p.html");
    return 0;
}
