#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

enum class TSocksAuthentication { socksNoAuthentication = 0, socksAuthenticateUsercode = 1 };

enum class TSocksAuthState {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3,
};

// SOCKS failure codes; each goes to the socket's OnSocksError with its text.
inline constexpr int SocksLogicError = 20001;  // also "too much data availaible"
inline constexpr int SocksVersionError = 20002;
inline constexpr int SocksMethodNotAcceptable = 20003;
inline constexpr int SocksGeneralFailure = 20004;
inline constexpr int SocksConnectionNotAllowed = 20005;
inline constexpr int SocksNetworkUnreachable = 20006;
inline constexpr int SocksHostUnreachable = 20007;
inline constexpr int SocksConnectionRefused = 20008;
inline constexpr int SocksTtlExpired = 20009;
inline constexpr int SocksUnknownCommand = 20010;
inline constexpr int SocksUnknownAddressType = 20011;
inline constexpr int SocksUnassignedError = 20012;
inline constexpr int SocksInternalError = 20013;
inline constexpr int SocksAuthenticationFailed = 20015;
inline constexpr int SocksRejectedOrFailed = 20016;

// What the negotiation needs to know, fixed when the connection to the SOCKS server starts.
struct SocksRequest {
    std::string level = "5";  // "4", "4A" or "5"
    TSocksAuthentication authentication = TSocksAuthentication::socksNoAuthentication;
    std::string usercode;
    std::string password;
    std::string host;           // the destination as given; SOCKS 5 and 4A send it as a name,
                                // SOCKS 5 an IPv6 literal as its address
    std::uint16_t port = 0;     // destination port, host order
    std::uint32_t address = 0;  // SOCKS 4 only: destination IPv4 address, network order
};

// What one negotiation step asks of the socket, in this order: report the authentication states,
// send the bytes, then (when `connected`) report the session connected and hand the application
// bytes out first; or fail with `errorCode` and `errorText`.
struct SocksStep {
    std::vector<TSocksAuthState> authStates;
    std::string send;
    bool connected = false;
    std::string applicationBytes;
    int errorCode = 0;
    std::string errorText;

    bool failed() const { return errorCode != 0; }
};

// The client side of a SOCKS 4, 4A or 5 negotiation as pure code: it composes the messages and
// parses the replies from bytes fed to it, and never touches a socket.
class SocksNegotiator {
public:
    enum class Phase { None = 0, Method = 1, Authenticating = 2, Connecting = 3 };
    static const char* toString(Phase phase);

    Phase phase() const { return m_phase; }

    // Waits for the TCP connection to the SOCKS server.
    void begin(const SocksRequest& request);
    // The first message, once the TCP connection to the SOCKS server is up.
    SocksStep start();

    // How many bytes the socket may read for the reply being waited for.
    std::size_t room() const { return ReplyCapacity - m_reply.size(); }

    // Feeds received bytes (at most room()).
    SocksStep feed(std::string_view bytes);

    // Address and port the server reports as bound for the connection (dotted, IPv6 text or a
    // name; decimal).
    const std::string& boundAddr() const { return m_boundAddr; }
    const std::string& boundPort() const { return m_boundPort; }

    void reset();

private:
    // The longest reply, SOCKS 5 with a 255-byte name, and room to spare.
    static constexpr std::size_t ReplyCapacity = 512;

    SocksStep sendConnectRequest(SocksStep step);
    SocksStep onMethodReply();
    SocksStep onAuthenticationReply();
    SocksStep onSocks4Reply();
    SocksStep onSocks5Reply();
    SocksStep succeed(std::size_t replyLength);
    static SocksStep fail(int code, std::string text);

    SocksRequest m_request;
    Phase m_phase = Phase::None;
    std::uint8_t m_method = 0;
    std::string m_reply;
    std::string m_boundAddr;
    std::string m_boundPort;
};

}  // namespace quillharbor
