#pragma once

#include "net/socket_address.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// The synchronous resolution helpers used by connect, listen and bind. They raise
// ESocketException directly (an OnError handler does not apply to them). Host names other than
// dotted addresses are looked up with a blocking call.

// The address of a dotted IPv4 text: leading and trailing blanks allowed, exactly four decimal
// parts of at most 255 each. Network byte order.
std::optional<std::uint32_t> parseDottedAddress(std::string_view text);

// An IPv4 address, network byte order (for the places that can carry no other: SOCKS 4).
std::uint32_t WSocketResolveHost(const std::string& name);

// The first address of a name, IPv4 or IPv6 (a literal may be written in brackets), port 0. The
// failures and their texts are those of WSocketResolveHost.
SocketAddress WSocketResolveAddress(const std::string& name);

// A port number or a service name of protocol `proto` (any protocol when empty). Host order.
std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);

// A protocol number or a protocol name ("tcp", "udp", ...).
int WSocketResolveProto(const std::string& proto);

// Dotted text of an address in network byte order.
std::string dottedAddress(std::uint32_t address);

}  // namespace quillharbor
