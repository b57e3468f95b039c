#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

// A numeric IPv4 or IPv6 endpoint as the system's socket calls take it.
class SocketAddress {
public:
    SocketAddress() = default;
    // The wildcard address ("0.0.0.0" or "::") of a family, port 0.
    static SocketAddress any(int family);
    // A dotted IPv4 address (the strict form of parseDottedAddress) or an IPv6 literal, with or
    // without its URL brackets. Nothing for a host name.
    static std::optional<SocketAddress> parse(std::string_view text);
    // What the system filled in (accept, getsockname, getpeername).
    static SocketAddress fromSystem(const sockaddr_storage& storage, socklen_t length);

    int family() const { return m_storage.ss_family; }
    bool isIPv6() const { return family() == AF_INET6; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&m_storage); }
    socklen_t length() const { return m_length; }
    std::uint16_t port() const;  // host order
    void setPort(std::uint16_t port);
    // The IPv4 address in network order; 0 for an IPv6 one.
    std::uint32_t ipv4() const;
    // Dotted IPv4 or compressed IPv6 text, without brackets; empty for no address.
    std::string text() const;
    // An IPv4-mapped IPv6 address (::ffff:a.b.c.d) as the IPv4 address it stands for.
    SocketAddress unmapped() const;

private:
    sockaddr_storage m_storage{};
    socklen_t m_length = 0;
};

// Whether a text is an IPv6 literal (brackets allowed).
bool isIPv6Literal(std::string_view text);

// The order in which the addresses of one name are tried: the first address's family leads, and
// the families alternate from there (IPv6, IPv4, IPv6, ...), each family in the order given, so
// that a family that does not work costs one head start, not one per address. Duplicates go.
std::vector<std::string> alternateFamilies(const std::vector<std::string>& addresses);

}  // namespace quillharbor
