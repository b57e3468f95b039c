#include "clients/ftp_host_port.h"

#include <algorithm>

#include "parser/ascii.h"

namespace quillharbor {

FtpHostPort splitFtpHostPort(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < text.size()) {
        const std::string_view port = text.substr(colon + 1);
        if (std::all_of(port.begin(), port.end(), isAsciiDigit)) {
            return {std::string(text.substr(0, colon)), std::string(port)};
        }
    }
    return {std::string(text), "ftp"};
}

}  // namespace quillharbor
