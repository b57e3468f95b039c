#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// Texts the FTP client composes: commands it sends and notes it shows.

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address in host byte order and a port.
std::string portCommand(std::uint32_t address, std::uint16_t port);

// "EPRT |2|<address>|<port>|" for an IPv6 address in its text form.
std::string extendedPortCommand(const std::string& ipv6Address, std::uint16_t port);

// "REST " + offset in decimal.
std::string restartCommand(std::int64_t offset);

// The reply text that stands for a failed look-up or connect of the control connection:
// "500 " + description + " (Winsock error #" + code + ")".
std::string controlFailureReply(int socketError);

// "! <bytes> bytes received/sent in <seconds> seconds", followed, when milliseconds is not 0, by
// " (<rate> Bytes/sec)".
std::string transferStatistics(std::int64_t bytes, std::int64_t milliseconds);

}  // namespace quillharbor
