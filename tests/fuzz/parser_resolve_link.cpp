// Links against bases. Input: the base, a line feed, then the link. A link with a backslash before
// its fragment (once read as an attribute value) is dropped; against an http, https or ftp base
// every link kept must stay such a URL, without fragment, with nothing left to encode and
// without dot segments in its path.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parser/attribute_url.h"
#include "parser/link_resolver.h"
#include "parser/url_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view base = input.substr(0, split);
    std::string link(split == std::string_view::npos ? std::string_view()
                                                     : input.substr(split + 1));
    const bool hadBackslash =
        StripFragment(UrlFromAttributeValue(link)).find('\\') != std::string::npos;

    ResolveLink(link, base);
    if (link.empty()) {
        return 0;
    }
    const auto fetchable = [](UrlType kind) {
        return kind == UrlType::Http || kind == UrlType::Https || kind == UrlType::Ftp;
    };
    if (hadBackslash || (fetchable(UrlKind(base)) && !fetchable(UrlKind(link)))) {
        std::abort();
    }
    std::string again = link;
    NormaliseUrlPath(again);
    if (link.find('#') != std::string::npos || again != link) {
        std::abort();
    }
    return 0;
}
