#include "net/socks_negotiator.h"

#include "parser/host_port.h"

#include <arpa/inet.h>

#include <optional>

namespace quillharbor {

namespace {

constexpr std::uint8_t Version4 = 4;
constexpr std::uint8_t Version5 = 5;
constexpr std::uint8_t CommandConnect = 1;
constexpr std::uint8_t MethodNone = 0;
constexpr std::uint8_t MethodUsercode = 2;
constexpr std::uint8_t UsercodeVersion = 1;
constexpr std::uint8_t AddressIPv4 = 1;
constexpr std::uint8_t AddressDomain = 3;
constexpr std::uint8_t AddressIPv6 = 4;
constexpr std::size_t IPv6Length = 16;
constexpr std::size_t MaxFieldLength = 255;

void appendPort(std::string& out, std::uint16_t port) {
    out.push_back(static_cast<char>(port >> 8));
    out.push_back(static_cast<char>(port & 0xff));
}

std::uint8_t byteAt(const std::string& bytes, std::size_t index) {
    return static_cast<std::uint8_t>(bytes[index]);
}

std::string portAt(const std::string& bytes, std::size_t index) {
    return std::to_string(byteAt(bytes, index) << 8 | byteAt(bytes, index + 1));
}

std::string dottedAt(const std::string& bytes, std::size_t index) {
    return std::to_string(byteAt(bytes, index)) + "." + std::to_string(byteAt(bytes, index + 1)) +
           "." + std::to_string(byteAt(bytes, index + 2)) + "." +
           std::to_string(byteAt(bytes, index + 3));
}

std::string ipv6At(const std::string& bytes, std::size_t index) {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, bytes.data() + index, text, sizeof text);
    return text;
}

// The 16 bytes of an IPv6 literal (brackets allowed); nothing for any other host.
std::optional<std::string> ipv6Bytes(std::string_view host) {
    const std::string literal(HostWithoutBrackets(host));
    std::string bytes(IPv6Length, '\0');
    if (inet_pton(AF_INET6, literal.c_str(), bytes.data()) != 1)
        return std::nullopt;
    return bytes;
}

}  // namespace

const char* SocksNegotiator::toString(Phase phase) {
    switch (phase) {
        case Phase::None:
            return "none";
        case Phase::Method:
            return "method";
        case Phase::Authenticating:
            return "authenticating";
        case Phase::Connecting:
            return "connecting";
    }
    return "?";
}

void SocksNegotiator::reset() {
    m_phase = Phase::None;
    m_method = MethodNone;
    m_reply.clear();
    m_boundAddr.clear();
    m_boundPort.clear();
}

void SocksNegotiator::begin(const SocksRequest& request) {
    reset();
    m_request = request;
    m_phase = Phase::Method;
}

SocksStep SocksNegotiator::start() {
    if (m_request.level != "5")
        return sendConnectRequest({});
    m_method = m_request.authentication == TSocksAuthentication::socksAuthenticateUsercode
                   ? MethodUsercode
                   : MethodNone;
    SocksStep step;
    step.send = {static_cast<char>(Version5), 1, static_cast<char>(m_method)};
    return step;
}

SocksStep SocksNegotiator::sendConnectRequest(SocksStep step) {
    m_phase = Phase::Connecting;
    m_reply.clear();
    std::string& out = step.send;
    if (m_request.level == "5") {
        out = {static_cast<char>(Version5), static_cast<char>(CommandConnect), 0};
        // An IPv6 literal goes as its address; any other name is sent unresolved, even a dotted
        // address, and a name over 255 bytes cannot be.
        if (const auto address = ipv6Bytes(m_request.host)) {
            out.push_back(static_cast<char>(AddressIPv6));
            out += *address;
            appendPort(out, m_request.port);
            return step;
        }
        if (m_request.host.size() > MaxFieldLength)
            return fail(SocksUnknownAddressType, "address type not supported");
        out.push_back(static_cast<char>(AddressDomain));
        out.push_back(static_cast<char>(m_request.host.size()));
        out += m_request.host;
        appendPort(out, m_request.port);
        return step;
    }
    const bool socks4A = m_request.level == "4A";
    out = {static_cast<char>(Version4), static_cast<char>(CommandConnect)};
    appendPort(out, m_request.port);
    const std::uint32_t address = socks4A ? htonl(1) : m_request.address;
    out.append(reinterpret_cast<const char*>(&address), sizeof address);
    out += m_request.usercode;
    out.push_back('\0');
    if (socks4A) {
        out += m_request.host;
        out.push_back('\0');
    }
    return step;
}

SocksStep SocksNegotiator::feed(std::string_view bytes) {
    m_reply.append(bytes.substr(0, room()));
    switch (m_phase) {
        case Phase::Method:
            // Only SOCKS 5 has a method reply.
            if (m_request.level != "5")
                return fail(SocksLogicError, "TWSocket logic error");
            return onMethodReply();
        case Phase::Authenticating:
            return onAuthenticationReply();
        case Phase::Connecting:
            return m_request.level == "5" ? onSocks5Reply() : onSocks4Reply();
        case Phase::None:
            break;
    }
    return fail(SocksInternalError, "internal error");
}

SocksStep SocksNegotiator::onMethodReply() {
    if (m_reply.size() < 2)
        return {};
    const std::uint8_t version = byteAt(m_reply, 0);
    const std::uint8_t chosen = byteAt(m_reply, 1);
    m_reply.clear();
    if (version != Version5)
        return fail(SocksVersionError, "socks version error");
    SocksStep step;
    if (chosen == MethodNone) {
        if (m_method == MethodUsercode)
            step.authStates.push_back(TSocksAuthState::socksAuthNotRequired);
        return sendConnectRequest(std::move(step));
    }
    if (chosen != MethodUsercode)
        return fail(SocksMethodNotAcceptable, "authentification method not acceptable");
    // Lengths travel in one byte each: longer credentials cannot be sent, so they cannot succeed.
    if (m_request.usercode.size() > MaxFieldLength || m_request.password.size() > MaxFieldLength)
        return fail(SocksAuthenticationFailed, "socks authentication failed");
    m_phase = Phase::Authenticating;
    step.authStates.push_back(TSocksAuthState::socksAuthStart);
    step.send = {static_cast<char>(UsercodeVersion), static_cast<char>(m_request.usercode.size())};
    step.send += m_request.usercode;
    step.send.push_back(static_cast<char>(m_request.password.size()));
    step.send += m_request.password;
    return step;
}

SocksStep SocksNegotiator::onAuthenticationReply() {
    if (m_reply.size() < 2)
        return {};
    if (byteAt(m_reply, 0) != UsercodeVersion)
        return fail(SocksVersionError, "socks version error");
    if (byteAt(m_reply, 1) != 0)
        return fail(SocksAuthenticationFailed, "socks authentication failed");
    if (m_reply.size() > 2)
        return fail(SocksLogicError, "too much data availaible");
    SocksStep step;
    step.authStates.push_back(TSocksAuthState::socksAuthSuccess);
    return sendConnectRequest(std::move(step));
}

SocksStep SocksNegotiator::onSocks4Reply() {
    constexpr std::size_t ReplyLength = 8;
    if (m_reply.size() < ReplyLength)
        return {};
    if (byteAt(m_reply, 0) != 0)
        return fail(SocksVersionError, "socks version error");
    switch (const std::uint8_t code = byteAt(m_reply, 1)) {
        case 90:
            m_boundPort = portAt(m_reply, 2);
            m_boundAddr = dottedAt(m_reply, 4);
            return succeed(ReplyLength);
        case 91:
            return fail(SocksRejectedOrFailed, "request rejected or failed");
        case 92:
            return fail(SocksConnectionRefused, "connection refused");
        case 93:
            return fail(SocksAuthenticationFailed, "authentification failed");
        default:
            return fail(SocksUnassignedError, "unassigned error #" + std::to_string(code));
    }
}

SocksStep SocksNegotiator::onSocks5Reply() {
    if (m_reply.size() < 2)
        return {};
    if (byteAt(m_reply, 0) != Version5)
        return fail(SocksVersionError, "socks version error");
    switch (const std::uint8_t code = byteAt(m_reply, 1)) {
        case 0:
            break;
        case 1:
            return fail(SocksGeneralFailure, "general SOCKS server failure");
        case 2:
            return fail(SocksConnectionNotAllowed, "connection not allowed by ruleset");
        case 3:
            return fail(SocksNetworkUnreachable, "network unreachable");
        case 4:
            return fail(SocksHostUnreachable, "host unreachable");
        case 5:
            return fail(SocksConnectionRefused, "connection refused");
        case 6:
            return fail(SocksTtlExpired, "time to live expired");
        case 7:
            return fail(SocksUnknownCommand, "command not supported");
        case 8:
            return fail(SocksUnknownAddressType, "address type not supported");
        default:
            return fail(SocksUnassignedError, "unassigned error #" + std::to_string(code));
    }
    if (m_reply.size() < 4)
        return {};
    const std::uint8_t type = byteAt(m_reply, 3);
    if (type == AddressIPv4) {
        constexpr std::size_t ReplyLength = 10;
        if (m_reply.size() < ReplyLength)
            return {};
        m_boundAddr = dottedAt(m_reply, 4);
        m_boundPort = portAt(m_reply, 8);
        return succeed(ReplyLength);
    }
    if (type == AddressIPv6) {
        constexpr std::size_t ReplyLength = 4 + IPv6Length + 2;
        if (m_reply.size() < ReplyLength)
            return {};
        m_boundAddr = ipv6At(m_reply, 4);
        m_boundPort = portAt(m_reply, 4 + IPv6Length);
        return succeed(ReplyLength);
    }
    if (type != AddressDomain)
        return fail(SocksUnknownAddressType, "address type not supported");
    if (m_reply.size() < 5)
        return {};
    const std::size_t nameLength = byteAt(m_reply, 4);
    const std::size_t replyLength = 7 + nameLength;
    if (m_reply.size() < replyLength)
        return {};
    m_boundAddr = m_reply.substr(5, nameLength);
    m_boundPort = portAt(m_reply, 5 + nameLength);
    return succeed(replyLength);
}

SocksStep SocksNegotiator::succeed(std::size_t replyLength) {
    SocksStep step;
    step.connected = true;
    step.applicationBytes = m_reply.substr(replyLength);
    m_reply.clear();
    m_phase = Phase::None;
    return step;
}

SocksStep SocksNegotiator::fail(int code, std::string text) {
    SocksStep step;
    step.errorCode = code;
    step.errorText = std::move(text);
    return step;
}

}  // namespace quillharbor
