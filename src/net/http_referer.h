#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The URL to send as the Referer: the same bytes without the user name and password of its
// authority, which belong to that host alone and would reach every host linked from it (and the
// proxies between).
std::string refererWithoutUserInfo(std::string_view url);

}  // namespace quillharbor
