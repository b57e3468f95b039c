#include "net/socks_negotiator.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

using namespace std::string_literals;

SocksRequest request(const std::string& level, const std::string& host = "example.org",
                     std::uint16_t port = 8080) {
    SocksRequest r;
    r.level = level;
    r.host = host;
    r.port = port;
    return r;
}

SocksStep started(SocksNegotiator& socks, const SocksRequest& r) {
    socks.begin(r);
    return socks.start();
}

TEST(SocksNegotiator, Socks5WithoutAuthenticationSendsTheNameAndSucceeds) {
    SocksNegotiator socks;
    EXPECT_EQ(started(socks, request("5", "10.1.2.3")).send, "\x05\x01\x00"s);
    const SocksStep connect = socks.feed("\x05\x00"s);
    EXPECT_TRUE(connect.authStates.empty());
    // Always a domain name, even for a dotted address.
    EXPECT_EQ(connect.send, "\x05\x01\x00\x03\x08"s + "10.1.2.3" + "\x1f\x90"s);
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Connecting);
    const SocksStep done = socks.feed("\x05\x00\x00\x01\x7f\x00\x00\x01\x04\xd2hello"s);
    EXPECT_TRUE(done.connected);
    EXPECT_EQ(done.applicationBytes, "hello");
    EXPECT_EQ(socks.boundAddr(), "127.0.0.1");
    EXPECT_EQ(socks.boundPort(), "1234");
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::None);
}

TEST(SocksNegotiator, Socks5UserPasswordSubNegotiation) {
    SocksNegotiator socks;
    SocksRequest r = request("5");
    r.authentication = TSocksAuthentication::socksAuthenticateUsercode;
    r.usercode = "bob";
    r.password = "secret";
    EXPECT_EQ(started(socks, r).send, "\x05\x01\x02"s);
    const SocksStep auth = socks.feed("\x05\x02"s);
    EXPECT_EQ(auth.authStates, std::vector{TSocksAuthState::socksAuthStart});
    EXPECT_EQ(auth.send, "\x01\x03"s + "bob" + "\x06"s + "secret");
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Authenticating);
    const SocksStep connect = socks.feed("\x01\x00"s);
    EXPECT_EQ(connect.authStates, std::vector{TSocksAuthState::socksAuthSuccess});
    EXPECT_EQ(connect.send.substr(0, 5), "\x05\x01\x00\x03\x0b"s);

    // A server that needs no authentication although it was offered.
    started(socks, r);
    EXPECT_EQ(socks.feed("\x05\x00"s).authStates,
              std::vector{TSocksAuthState::socksAuthNotRequired});
}

TEST(SocksNegotiator, Socks5ReplyWithABoundNameSplitAtEveryOffset) {
    const std::string reply = "\x05\x00\x00\x03\x09proxy.lan\x00\x50"s + "DATA";
    for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
        SocksNegotiator socks;
        started(socks, request("5"));
        socks.feed("\x05\x00"s);
        const SocksStep first = socks.feed(reply.substr(0, cut));
        const SocksStep done = first.connected ? first : socks.feed(reply.substr(cut));
        ASSERT_TRUE(done.connected) << "cut at " << cut;
        EXPECT_EQ(
            first.connected ? first.applicationBytes + reply.substr(cut) : done.applicationBytes,
            "DATA");
        EXPECT_EQ(socks.boundAddr(), "proxy.lan");
        EXPECT_EQ(socks.boundPort(), "80");
    }
}

TEST(SocksNegotiator, Socks5CarriesIPv6Addresses) {
    const std::string loopback6 = std::string(15, '\0') + "\x01";
    for (const char* host : {"::1", "[::1]"}) {
        SocksNegotiator socks;
        started(socks, request("5", host, 80));
        EXPECT_EQ(socks.feed("\x05\x00"s).send, "\x05\x01\x00\x04"s + loopback6 + "\x00\x50"s);
        // The bound address comes back as IPv6 too: 22 bytes, then the application's.
        const SocksStep done = socks.feed("\x05\x00\x00\x04"s + loopback6 + "\x04\xd2+"s);
        EXPECT_TRUE(done.connected) << host;
        EXPECT_EQ(done.applicationBytes, "+");
        EXPECT_EQ(socks.boundAddr(), "::1");
        EXPECT_EQ(socks.boundPort(), "1234");
    }
}

TEST(SocksNegotiator, Socks4Request) {
    SocksNegotiator socks;
    SocksRequest r = request("4", "ignored", 21);
    r.address = htonl(0x0a000001);
    r.usercode = "me";
    EXPECT_EQ(started(socks, r).send, "\x04\x01\x00\x15\x0a\x00\x00\x01me\x00"s);
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Connecting);
    const SocksStep done = socks.feed("\x00\x5a\x00\x15\x0a\x00\x00\x01+"s);
    EXPECT_TRUE(done.connected);
    EXPECT_EQ(done.applicationBytes, "+");
}

struct FailureCase {
    std::string level;
    std::string reply;  // fed after the method exchange for SOCKS 5
    int code;
    std::string text;
};

TEST(SocksNegotiator, EveryFailureReply) {
    const FailureCase cases[] = {
        {"4", "\x01\x5a\x00\x00\x00\x00\x00\x00"s, SocksVersionError, "socks version error"},
        {"4", "\x00\x5b\x00\x00\x00\x00\x00\x00"s, SocksRejectedOrFailed,
         "request rejected or failed"},
        {"4", "\x00\x5c\x00\x00\x00\x00\x00\x00"s, SocksConnectionRefused, "connection refused"},
        {"4", "\x00\x5d\x00\x00\x00\x00\x00\x00"s, SocksAuthenticationFailed,
         "authentification failed"},
        {"4A", "\x00\x63\x00\x00\x00\x00\x00\x00"s, SocksUnassignedError, "unassigned error #99"},
        {"5", "\x04\x00"s, SocksVersionError, "socks version error"},
        {"5", "\x05\x01"s, SocksGeneralFailure, "general SOCKS server failure"},
        {"5", "\x05\x02"s, SocksConnectionNotAllowed, "connection not allowed by ruleset"},
        {"5", "\x05\x03"s, SocksNetworkUnreachable, "network unreachable"},
        {"5", "\x05\x04"s, SocksHostUnreachable, "host unreachable"},
        {"5", "\x05\x05"s, SocksConnectionRefused, "connection refused"},
        {"5", "\x05\x06"s, SocksTtlExpired, "time to live expired"},
        {"5", "\x05\x07"s, SocksUnknownCommand, "command not supported"},
        {"5", "\x05\x08"s, SocksUnknownAddressType, "address type not supported"},
        {"5", "\x05\x09"s, SocksUnassignedError, "unassigned error #9"},
        {"5", "\x05\x00\x00\x05"s, SocksUnknownAddressType, "address type not supported"},
    };
    for (const FailureCase& c : cases) {
        SocksNegotiator socks;
        started(socks, request(c.level));
        if (c.level == "5")
            socks.feed("\x05\x00"s);
        const SocksStep step = socks.feed(c.reply);
        EXPECT_EQ(step.errorCode, c.code) << c.text;
        EXPECT_EQ(step.errorText, c.text);
        EXPECT_FALSE(step.connected);
    }
}

TEST(SocksNegotiator, MethodAndAuthenticationFailures) {
    SocksNegotiator socks;
    SocksRequest r = request("5");
    r.authentication = TSocksAuthentication::socksAuthenticateUsercode;
    started(socks, r);
    EXPECT_EQ(socks.feed("\x04\x00"s).errorCode, SocksVersionError);
    started(socks, r);
    const SocksStep refused = socks.feed("\x05\xff"s);
    EXPECT_EQ(refused.errorCode, SocksMethodNotAcceptable);
    EXPECT_EQ(refused.errorText, "authentification method not acceptable");

    const auto authReply = [&](const std::string& reply) {
        started(socks, r);
        socks.feed("\x05\x02"s);
        return socks.feed(reply);
    };
    EXPECT_EQ(authReply("\x02\x00"s).errorCode, SocksVersionError);
    const SocksStep denied = authReply("\x01\x01"s);
    EXPECT_EQ(denied.errorCode, SocksAuthenticationFailed);
    EXPECT_EQ(denied.errorText, "socks authentication failed");
    // The phase stays, so the socket can tell the owner the authentication failed.
    EXPECT_EQ(socks.phase(), SocksNegotiator::Phase::Authenticating);
    const SocksStep tooMuch = authReply("\x01\x00\x00"s);
    EXPECT_EQ(tooMuch.errorCode, SocksLogicError);
    EXPECT_EQ(tooMuch.errorText, "too much data availaible");

    // A SOCKS 4 server has no method reply, and nothing is expected before the negotiation.
    SocksNegotiator four;
    four.begin(request("4"));
    EXPECT_EQ(four.feed("\x00"s).errorText, "TWSocket logic error");
    SocksNegotiator idle;
    EXPECT_EQ(idle.feed("x").errorCode, SocksInternalError);
}

TEST(SocksNegotiator, FieldsTooLongForTheirLengthByteFail) {
    SocksNegotiator socks;
    started(socks, request("5", std::string(256, 'h')));
    EXPECT_EQ(socks.feed("\x05\x00"s).errorCode, SocksUnknownAddressType);

    SocksRequest r = request("5");
    r.authentication = TSocksAuthentication::socksAuthenticateUsercode;
    r.password = std::string(300, 'p');
    started(socks, r);
    EXPECT_EQ(socks.feed("\x05\x02"s).errorCode, SocksAuthenticationFailed);
}

}  // namespace
}  // namespace quillharbor
