#include "net/http_referer.h"

#include <algorithm>

namespace quillharbor {

std::string refererWithoutUserInfo(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return std::string(url);
    }
    const std::size_t authority = scheme + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", authority), url.size());
    const std::size_t at = url.substr(0, end).rfind('@');
    if (at == std::string_view::npos || at < authority) {
        return std::string(url);
    }
    return std::string(url.substr(0, authority)).append(url.substr(at + 1));
}

}  // namespace quillharbor
