#include "net/socket_address.h"

#include "net/name_resolution.h"
#include "parser/host_port.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace quillharbor {

SocketAddress SocketAddress::any(int family) {
    SocketAddress address;
    address.m_storage.ss_family = static_cast<sa_family_t>(family);
    address.m_length = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    return address;
}

std::optional<SocketAddress> SocketAddress::parse(std::string_view text) {
    if (const auto dotted = parseDottedAddress(text)) {
        SocketAddress address = any(AF_INET);
        reinterpret_cast<sockaddr_in&>(address.m_storage).sin_addr.s_addr = *dotted;
        return address;
    }
    const std::string literal(HostWithoutBrackets(text));
    if (literal.find(':') == std::string::npos)
        return std::nullopt;
    // getaddrinfo reads a scope ("fe80::1%eth0") too, which inet_pton does not.
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* result = nullptr;
    if (getaddrinfo(literal.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return std::nullopt;
    SocketAddress address;
    std::memcpy(&address.m_storage, result->ai_addr, result->ai_addrlen);
    address.m_length = result->ai_addrlen;
    freeaddrinfo(result);
    return address;
}

SocketAddress SocketAddress::fromSystem(const sockaddr_storage& storage, socklen_t length) {
    SocketAddress address;
    address.m_storage = storage;
    address.m_length = std::min<socklen_t>(length, sizeof storage);
    return address;
}

std::uint16_t SocketAddress::port() const {
    if (isIPv6())
        return ntohs(reinterpret_cast<const sockaddr_in6&>(m_storage).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(m_storage).sin_port);
}

void SocketAddress::setPort(std::uint16_t port) {
    if (isIPv6())
        reinterpret_cast<sockaddr_in6&>(m_storage).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in&>(m_storage).sin_port = htons(port);
}

std::uint32_t SocketAddress::ipv4() const {
    return family() == AF_INET ? reinterpret_cast<const sockaddr_in&>(m_storage).sin_addr.s_addr
                               : 0;
}

std::string SocketAddress::text() const {
    if (family() == AF_INET)
        return dottedAddress(reinterpret_cast<const sockaddr_in&>(m_storage).sin_addr.s_addr);
    if (!isIPv6())
        return {};
    char text[NI_MAXHOST] = {};
    if (getnameinfo(get(), m_length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return text;
}

SocketAddress SocketAddress::unmapped() const {
    const auto& six = reinterpret_cast<const sockaddr_in6&>(m_storage);
    if (!isIPv6() || !IN6_IS_ADDR_V4MAPPED(&six.sin6_addr))
        return *this;
    SocketAddress four = any(AF_INET);
    auto& inet = reinterpret_cast<sockaddr_in&>(four.m_storage);
    std::memcpy(&inet.sin_addr, six.sin6_addr.s6_addr + 12, sizeof inet.sin_addr);
    inet.sin_port = six.sin6_port;
    return four;
}

bool isIPv6Literal(std::string_view text) {
    const auto address = SocketAddress::parse(text);
    return address && address->isIPv6();
}

std::vector<std::string> alternateFamilies(const std::vector<std::string>& addresses) {
    std::vector<std::string> sixes;
    std::vector<std::string> fours;
    for (const std::string& address : addresses) {
        std::vector<std::string>& family = isIPv6Literal(address) ? sixes : fours;
        if (std::find(family.begin(), family.end(), address) == family.end())
            family.push_back(address);
    }
    const bool sixFirst = !addresses.empty() && isIPv6Literal(addresses.front());
    const std::vector<std::string>& first = sixFirst ? sixes : fours;
    const std::vector<std::string>& second = sixFirst ? fours : sixes;
    std::vector<std::string> ordered;
    for (std::size_t i = 0; i < std::max(first.size(), second.size()); ++i) {
        if (i < first.size())
            ordered.push_back(first[i]);
        if (i < second.size())
            ordered.push_back(second[i]);
    }
    return ordered;
}

}  // namespace quillharbor
