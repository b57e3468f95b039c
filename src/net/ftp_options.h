#pragma once

namespace quillharbor {

// Flags of the FTP client's Options set.
enum class TFtpOption : unsigned {
    ftpAcceptLF = 1,  // a reply line ends at LF alone (otherwise only at CR LF)
};

// How the FTP client reaches its server. Every type but ftpDirect uses passive data connections.
enum class TFtpConnectionType {
    ftpDirect = 0,
    ftpProxy = 1,  // control connection to ProxyServer, login as "user@host"
    ftpSocks4 = 2,
    ftpSocks4A = 3,
    ftpSocks5 = 4,
};

}  // namespace quillharbor
