#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// Standard Base64 (A-Z a-z 0-9 + /) with "=" padding, as Basic authentication sends it.
std::string base64Encode(std::string_view bytes);

}  // namespace quillharbor
