// Links against bases. Input: the base, a line feed, then the link. A link with a backslash before
// its fragment (once read as an attribute value) is dropped; against an http, https or ftp base
// every link kept must stay such a URL, without fragment, with nothing left to encode and
// without dot segments in its path.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parser/attribute_url.h"
#include "parser/link_resolver.h"
#include "parser/url_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const auto [base, value] = splitAtLineFeed(asText(data, size));
    std::string link(value);
    const bool hadBackslash =
        StripFragment(UrlFromAttributeValue(link)).find('\\') != std::string::npos;

    ResolveLink(link, base);
    if (link.empty()) {
        return 0;
    }
    const auto fetchable = [](UrlType kind) {
        return kind == UrlType::Http || kind == UrlType::Https || kind == UrlType::Ftp;
    };
    check(!hadBackslash && (!fetchable(UrlKind(base)) || fetchable(UrlKind(link))));
    std::string again = link;
    NormaliseUrlPath(again);
    check(link.find('#') == std::string::npos && again == link);
    return 0;
}
