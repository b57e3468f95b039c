#include "clients/ftp_host_port.h"

#include <algorithm>

#include "parser/ascii.h"
#include "parser/host_port.h"

namespace quillharbor {

FtpHostPort splitFtpHostPort(std::string_view text) {
    const HostAndPort split = SplitHostPort(text);
    if (!split.port.empty() && std::all_of(split.port.begin(), split.port.end(), isAsciiDigit)) {
        return {std::string(HostWithoutBrackets(split.host)), std::string(split.port)};
    }
    return {std::string(HostWithoutBrackets(text)), "ftp"};
}

}  // namespace quillharbor
