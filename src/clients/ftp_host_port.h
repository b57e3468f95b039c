#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// A server named as "host" or "host:port": the host part of an FTP URL, or the FTP proxy setting.
struct FtpHostPort {
    std::string host;
    std::string port;  // a number, or "ftp" when the text names none
};

// Splits at the last ":" when only digits follow it (at least one); otherwise the whole text is
// the host, so that a name that merely contains a colon is looked up as it is and fails there.
// An IPv6 literal is written in brackets ("[::1]:2121") and its host comes without them.
FtpHostPort splitFtpHostPort(std::string_view text);

}  // namespace quillharbor
