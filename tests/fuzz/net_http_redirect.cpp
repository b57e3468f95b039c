// Location values against bases. Input: the base, a line feed, then the value. A followed value
// is an absolute http or https URL without fragment or dot segments, and resolving it again,
// against any base, gives it back unchanged.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/http_redirect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const auto [base, value] = splitAtLineFeed(asText(data, size));
    const bool followHttps = !value.empty() && value.front() % 2 == 0;
    const auto url = resolveHttpRedirect(base, value, followHttps);
    if (!url) {
        return 0;
    }
    const bool secure = url->starts_with("https://");
    const std::string_view withoutQuery = std::string_view(*url).substr(0, url->find('?'));
    const std::size_t pathStart = withoutQuery.find('/', secure ? 8 : 7);
    const std::string_view path =
        pathStart == std::string_view::npos ? "/" : withoutQuery.substr(pathStart);
    check((secure || url->starts_with("http://")) && url->find('#') == std::string::npos);
    check(path.find("/./") == std::string_view::npos &&
          path.find("/../") == std::string_view::npos && !path.ends_with("/.") &&
          !path.ends_with("/.."));
    check(resolveHttpRedirect("http://other/x/y", *url, true) == url);
    return 0;
}
