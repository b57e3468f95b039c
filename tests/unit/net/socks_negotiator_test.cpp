#include "net/socks_negotiator.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

using namespace std::string_literals;
using Auth = TSocksAuthState;

SocksRequest request(const std::string& level, const std::string& host = "example.org",
                     std::uint16_t port = 8080, const std::string& password = "") {
    SocksRequest r;
    r.level = level;
    r.host = host;
    r.port = port;
    if (!password.empty()) {
        r.authentication = TSocksAuthentication::socksAuthenticateUsercode;
        r.usercode = "bob";
        r.password = password;
    }
    return r;
}

// A negotiation begun and started; the first message is what it sent.
SocksStep started(SocksNegotiator& socks, const SocksRequest& r) {
    socks.begin(r);
    return socks.start();
}

TEST(SocksNegotiator, Socks5SendsNamesOrIPv6AddressesAndHandsOutTrailingBytes) {
    const std::string loopback6 = std::string(15, '\0') + "\x01";
    const struct {
        std::string host, connect, reply, bound;
    } rows[] = {
        // A dotted address goes as a name too.
        {"10.1.2.3", "\x03\x08"s + "10.1.2.3" + "\x1f\x90"s, "\x01\x7f\x00\x00\x01\x04\xd2"s,
         "127.0.0.1:1234"},
        {"::1", "\x04"s + loopback6 + "\x1f\x90"s, "\x04"s + loopback6 + "\x04\xd2"s, "::1:1234"},
        {"[::1]", "\x04"s + loopback6 + "\x1f\x90"s, "\x04"s + loopback6 + "\x04\xd2"s, "::1:1234"},
        {"h", "\x03\x01h\x1f\x90"s, "\x03\x09proxy.lan\x00\x50"s, "proxy.lan:80"}};
    for (const auto& row : rows) {
        const std::string reply = "\x05\x00\x00"s + row.reply + "DATA";
        for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
            SocksNegotiator socks;
            EXPECT_EQ(started(socks, request("5", row.host)).send, "\x05\x01\x00"s);
            const SocksStep connect = socks.feed("\x05\x00"s);
            EXPECT_TRUE(connect.authStates.empty());
            EXPECT_EQ(connect.send, "\x05\x01\x00"s + row.connect) << row.host;
            EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Connecting);
            const SocksStep first = socks.feed(reply.substr(0, cut));
            const SocksStep done = first.connected ? first : socks.feed(reply.substr(cut));
            ASSERT_TRUE(done.connected) << row.host << " cut at " << cut;
            EXPECT_EQ(first.connected ? first.applicationBytes + reply.substr(cut)
                                      : done.applicationBytes,
                      "DATA");
            EXPECT_EQ(socks.boundAddr() + ":" + socks.boundPort(), row.bound);
            EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::None);
        }
    }
}

TEST(SocksNegotiator, Socks5UserPasswordAndSocks4) {
    SocksNegotiator socks;
    EXPECT_EQ(started(socks, request("5", "example.org", 8080, "secret")).send, "\x05\x01\x02"s);
    const SocksStep auth = socks.feed("\x05\x02"s);
    EXPECT_EQ(auth.authStates, std::vector{Auth::socksAuthStart});
    EXPECT_EQ(auth.send, "\x01\x03"s + "bob" + "\x06"s + "secret");
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Authenticating);
    const SocksStep connect = socks.feed("\x01\x00"s);
    EXPECT_EQ(connect.authStates, std::vector{Auth::socksAuthSuccess});
    EXPECT_EQ(connect.send.substr(0, 5), "\x05\x01\x00\x03\x0b"s);
    // A server that needs no authentication although it was offered.
    started(socks, request("5", "example.org", 8080, "secret"));
    EXPECT_EQ(socks.feed("\x05\x00"s).authStates, std::vector{Auth::socksAuthNotRequired});

    SocksRequest four = request("4", "ignored", 21);
    four.address = htonl(0x0a000001);
    four.usercode = "me";
    EXPECT_EQ(started(socks, four).send, "\x04\x01\x00\x15\x0a\x00\x00\x01me\x00"s);
    const SocksStep done = socks.feed("\x00\x5a\x00\x15\x0a\x00\x00\x01+"s);
    EXPECT_TRUE(done.connected);
    EXPECT_EQ(done.applicationBytes, "+");
}

TEST(SocksNegotiator, EveryFailureHasItsCodeAndText) {
    const std::string z6(6, '\0');
    const struct {
        std::string level;                 // "5p": with a password
        std::vector<std::string> replies;  // the last one fails
        int code;
        std::string text;
    } rows[] = {
        {"4", {"\x01\x5a"s + z6}, SocksVersionError, "socks version error"},
        {"4", {"\x00\x5b"s + z6}, SocksRejectedOrFailed, "request rejected or failed"},
        {"4", {"\x00\x5c"s + z6}, SocksConnectionRefused, "connection refused"},
        {"4", {"\x00\x5d"s + z6}, SocksAuthenticationFailed, "authentification failed"},
        {"4A", {"\x00\x63"s + z6}, SocksUnassignedError, "unassigned error #99"},
        {"5", {"\x05\x00"s, "\x04\x00"s}, SocksVersionError, "socks version error"},
        {"5", {"\x05\x00"s, "\x05\x01"s}, SocksGeneralFailure, "general SOCKS server failure"},
        {"5",
         {"\x05\x00"s, "\x05\x02"s},
         SocksConnectionNotAllowed,
         "connection not allowed by ruleset"},
        {"5", {"\x05\x00"s, "\x05\x03"s}, SocksNetworkUnreachable, "network unreachable"},
        {"5", {"\x05\x00"s, "\x05\x04"s}, SocksHostUnreachable, "host unreachable"},
        {"5", {"\x05\x00"s, "\x05\x05"s}, SocksConnectionRefused, "connection refused"},
        {"5", {"\x05\x00"s, "\x05\x06"s}, SocksTtlExpired, "time to live expired"},
        {"5", {"\x05\x00"s, "\x05\x07"s}, SocksUnknownCommand, "command not supported"},
        {"5", {"\x05\x00"s, "\x05\x08"s}, SocksUnknownAddressType, "address type not supported"},
        {"5", {"\x05\x00"s, "\x05\x09"s}, SocksUnassignedError, "unassigned error #9"},
        {"5",
         {"\x05\x00"s, "\x05\x00\x00\x05"s},
         SocksUnknownAddressType,
         "address type not supported"},
        {"5p", {"\x04\x00"s}, SocksVersionError, "socks version error"},
        {"5p", {"\x05\xff"s}, SocksMethodNotAcceptable, "authentification method not acceptable"},
        {"5p", {"\x05\x02"s, "\x02\x00"s}, SocksVersionError, "socks version error"},
        {"5p",
         {"\x05\x02"s, "\x01\x01"s},
         SocksAuthenticationFailed,
         "socks authentication failed"},
        {"5p", {"\x05\x02"s, "\x01\x00\x00"s}, SocksLogicError, "too much data availaible"}};
    // Fields too long for their length byte fail rather than being cut.
    SocksNegotiator socks;
    started(socks, request("5", std::string(256, 'h')));
    EXPECT_EQ(socks.feed("\x05\x00"s).errorCode, SocksUnknownAddressType);
    started(socks, request("5", "h", 80, std::string(300, 'p')));
    EXPECT_EQ(socks.feed("\x05\x02"s).errorCode, SocksAuthenticationFailed);
    for (const auto& row : rows) {
        SocksNegotiator socks;
        const bool password = row.level == "5p";
        started(socks, request(password ? "5" : row.level, "h", 80, password ? "p" : ""));
        SocksStep step;
        for (const std::string& reply : row.replies) step = socks.feed(reply);
        EXPECT_EQ(step.errorCode, row.code) << row.text;
        EXPECT_EQ(step.errorText, row.text);
        EXPECT_FALSE(step.connected);
    }
    // Nothing is expected before the negotiation, nor a method reply from a SOCKS 4 server.
    EXPECT_EQ(SocksNegotiator().feed("x").errorCode, SocksInternalError);
    SocksNegotiator four;
    four.begin(request("4"));
    EXPECT_EQ(four.feed("\x00"s).errorText, "TWSocket logic error");
}

}  // namespace
}  // namespace quillharbor
