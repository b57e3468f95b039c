#include "net/name_resolution.h"

#include "net/socket_error.h"
#include "net/socket_exception.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillharbor {

namespace {

constexpr std::size_t MaxHostName = 256;
constexpr std::size_t MaxPortOrProto = 31;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool startsWithDigit(const std::string& text) {
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]));
}

// The leading run of digits; nothing when it does not fit `limit`.
std::optional<long> leadingNumber(const std::string& text, long limit) {
    long value = 0;
    for (std::size_t i = 0; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
         ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

std::string formatted(const char* format, const std::string& name, int error) {
    std::array<char, 512> text{};
    std::snprintf(text.data(), text.size(), format, name.c_str(), error);
    return text.data();
}

}  // namespace

std::optional<std::uint32_t> parseDottedAddress(std::string_view text) {
    const std::string name = trimmed(text);
    std::uint32_t address = 0;
    std::size_t position = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (position >= name.size() || name[position] != '.')
                return std::nullopt;
            ++position;
        }
        const std::size_t begin = position;
        unsigned value = 0;
        while (position < name.size() && std::isdigit(static_cast<unsigned char>(name[position]))) {
            value = value * 10 + static_cast<unsigned>(name[position] - '0');
            if (value > 255)
                return std::nullopt;
            ++position;
        }
        if (position == begin)
            return std::nullopt;
        address = address << 8 | value;
    }
    if (position != name.size())
        return std::nullopt;
    return htonl(address);
}

std::string dottedAddress(std::uint32_t address) {
    const std::uint32_t host = ntohl(address);
    return std::to_string(host >> 24) + "." + std::to_string(host >> 16 & 0xff) + "." +
           std::to_string(host >> 8 & 0xff) + "." + std::to_string(host & 0xff);
}

namespace {

void checkHostName(const std::string& name) {
    if (name.empty() || name.size() > MaxHostName)
        throw ESocketException("WSocketResolveHost: '" + name + "' Invalid Hostname.");
}

// The first address of a look-up of `family`; raises when there is none.
SocketAddress firstAddress(const std::string& name, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int status = getaddrinfo(trimmed(name).c_str(), nullptr, &hints, &result);
    if (status != 0 || result == nullptr) {
        const int error = socketErrorFromAddrInfo(status != 0 ? status : EAI_NONAME, errno);
        throw ESocketException(formatted(
            "WSocketResolveHost: Cannot convert host address '%s', Error #%d", name, error));
    }
    sockaddr_storage storage{};
    std::memcpy(&storage, result->ai_addr, result->ai_addrlen);
    const SocketAddress address = SocketAddress::fromSystem(storage, result->ai_addrlen);
    freeaddrinfo(result);
    return address;
}

}  // namespace

std::uint32_t WSocketResolveHost(const std::string& name) {
    checkHostName(name);
    if (const auto address = parseDottedAddress(name))
        return *address;
    const SocketAddress address = firstAddress(name, AF_INET);
    return reinterpret_cast<const sockaddr_in*>(address.get())->sin_addr.s_addr;
}

SocketAddress WSocketResolveAddress(const std::string& name) {
    checkHostName(name);
    if (auto address = SocketAddress::parse(trimmed(name)))
        return *address;
    return firstAddress(name, AF_UNSPEC);
}

std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() > MaxPortOrProto)
        throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (startsWithDigit(port)) {
        // A number beyond 65535 would silently name another port.
        const auto number = leadingNumber(port, 65535);
        if (!number)
            throw ESocketException("WSocketResolvePort: Invalid Port.");
        return static_cast<std::uint16_t>(*number);
    }
    const std::string name = trimmed(port);
    const std::string protocol = trimmed(proto);
    servent entry{};
    servent* found = nullptr;
    std::array<char, 1024> buffer{};
    getservbyname_r(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(), &entry,
                    buffer.data(), buffer.size(), &found);
    if (found == nullptr)
        throw ESocketException(
            formatted("WSocketResolvePort: Cannot convert port '%s', Error #%d", port, WSANO_DATA));
    return ntohs(static_cast<std::uint16_t>(found->s_port));
}

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() > MaxPortOrProto)
        throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (startsWithDigit(proto)) {
        const auto number = leadingNumber(proto, 255);
        if (!number)
            throw ESocketException("WSocketResolveProto: Invalid Protocol.");
        return static_cast<int>(*number);
    }
    const std::string name = trimmed(proto);
    // The two every connection names are fixed numbers: no protocol database read per connect.
    if (name == "tcp" || name == "TCP")
        return IPPROTO_TCP;
    if (name == "udp" || name == "UDP")
        return IPPROTO_UDP;
    protoent entry{};
    protoent* found = nullptr;
    std::array<char, 1024> buffer{};
    getprotobyname_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (found == nullptr)
        throw ESocketException(formatted(
            "WSocketResolveProto: Cannot convert protocol '%s', Error #%d", proto, WSANO_DATA));
    return found->p_proto;
}

}  // namespace quillharbor
