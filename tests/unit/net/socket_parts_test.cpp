#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <string>
#include <vector>

#include "net/buffer.h"
#include "net/loopback.h"
#include "net/name_resolution.h"
#include "net/send_chain.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"

namespace quillharbor {
namespace {

using Strings = std::vector<std::string>;

TEST(SocketError, CodesAndTexts) {
    EXPECT_EQ(socketErrorText(10057, "Send"),
              "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(socketErrorDesc(0) + "|" + socketErrorDesc(10061) + "|" + socketErrorDesc(11004) +
                  "|" + socketErrorDesc(10000) + "|" + socketErrorDesc(WSASYSCALLFAILURE),
              "No Error|Connection refused|No Data|Not a WinSock error|Not a WinSock error");
    // Whatever has no counterpart still lands above 10000, where the engine retries.
    std::string mapped;
    for (const int error : {0, EAGAIN, ECONNREFUSED, ECONNRESET, EPIPE, ENOTCONN, ETIMEDOUT,
                            ENETUNREACH, EAFNOSUPPORT, ENODEV, EIO})
        mapped += std::to_string(socketErrorFromErrno(error)) + " ";
    EXPECT_EQ(mapped, "0 10035 10061 10054 10054 10057 10060 10051 10047 10049 10107 ");
    EXPECT_EQ(std::to_string(socketErrorFromAddrInfo(EAI_NONAME)) + " " +
                  std::to_string(socketErrorFromAddrInfo(EAI_AGAIN)) + " " +
                  std::to_string(socketErrorFromAddrInfo(EAI_FAIL)),
              "11001 11002 11003");
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(NameResolution, AddressesOfBothFamilies) {
    EXPECT_EQ(parseDottedAddress(" 10.0.0.255 "), htonl(0x0a0000ff));
    EXPECT_EQ(parseDottedAddress("255.255.255.255"), 0xffffffffu);
    for (const char* bad : {"", ".1.2.3", "1.2.3", "1.2.3.4.5", "1.2.3.", "1..2.3", "256.1.1.1",
                            "1.2.3.4x", "1.2.3.4 5", "a.b.c.d"})
        EXPECT_FALSE(parseDottedAddress(bad)) << bad;
    EXPECT_EQ(dottedAddress(htonl(0xc0a80001)), "192.168.0.1");
    // The normal text and the family of each, "-" where it is no address literal.
    std::string parsed;
    for (const char* text : {" 10.0.0.1 ", "::1", "[::1]", "0:0:0:0:0:0:0:1", "[2001:DB8::A]",
                             "::ffff:127.0.0.1", "example.org", "1.2.3", "[::1", ":::1"}) {
        const auto address = SocketAddress::parse(text);
        parsed += address ? address->text() + "/" + std::to_string(address->family()) + " " : "- ";
    }
    EXPECT_EQ(parsed,
              "10.0.0.1/2 ::1/10 ::1/10 ::1/10 2001:db8::a/10 ::ffff:127.0.0.1/10 - - - - ");
    EXPECT_EQ(SocketAddress::parse("::ffff:10.1.2.3")->unmapped().text(), "10.1.2.3");
    EXPECT_EQ(WSocketResolveAddress("[::1]").text(), "::1");
    // A name's addresses are tried alternating the families from the first one's.
    const auto tried = [](const Strings& found) {
        std::string order;
        for (const std::string& address : alternateFamilies(found)) order += address + " ";
        return order;
    };
    EXPECT_EQ(tried({"::1", "::2", "10.0.0.1", "10.0.0.2"}), "::1 10.0.0.1 ::2 10.0.0.2 ");
    EXPECT_EQ(tried({"1.0.0.1", "1.0.0.2", "::1", "::2", "::3"}), "1.0.0.1 ::1 1.0.0.2 ::2 ::3 ");
    EXPECT_EQ(tried({"1.0.0.1", "1.0.0.1", "::1", "::1"}), "1.0.0.1 ::1 ");
    EXPECT_EQ(tried({"::1"}) + tried({}), "::1 ");
}

TEST(NameResolution, HelpersRaiseTheirOwnTexts) {
    EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolvePort("8080abc", "tcp"), 8080);
    EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto("17"), 17);
    using test::raised;
    EXPECT_EQ(raised([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(raised([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("70000", "tcp"); }),
              "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("no-such-service", "tcp"); }),
              "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");
    EXPECT_EQ(raised([] { WSocketResolveProto(std::string(32, 'x')); }),
              "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(raised([] { WSocketResolveProto("nonsense"); }),
              "WSocketResolveProto: Cannot convert protocol 'nonsense', Error #11004");
    EXPECT_TRUE(raised([] { WSocketResolveHost("no-such-host.invalid"); })
                    .starts_with("WSocketResolveHost: Cannot convert host address "
                                 "'no-such-host.invalid', Error #110"));
}

TEST(TBuffer, WritesUntilFullStartsOverWhenDrainedAndKeepsUnreadBytesOnResize) {
    TBuffer buffer(4);
    EXPECT_EQ(buffer.write("abcdef", 6), 4);
    EXPECT_EQ(buffer.write("x", 1), 0);
    EXPECT_EQ(buffer.remove(3), 3);
    EXPECT_EQ(buffer.remove(10), 1);
    int length = 7;
    EXPECT_EQ(buffer.peek(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(buffer.write("wxyz", 4), 4);
    EXPECT_EQ(TBuffer(0).capacity(), TBuffer::DefaultSize);
    buffer.remove(2);
    buffer.setSize(16);
    EXPECT_EQ(buffer.write("abcdefghijklmnopqrstuvwxyz", 26), 14);
    buffer.setSize(3);
    const char* kept = buffer.peek(length);
    EXPECT_EQ(std::string(kept, static_cast<std::size_t>(length)), "yza");
}

TEST(SendChain, KeepsOrderAcrossChunksGathersRunsAndReusesTheLastChunk) {
    SendChain chain(4);
    chain.append("abcdefghij", 10);
    EXPECT_EQ(chain.chunkCount(), 3u);
    iovec runs[8];
    std::size_t bytes = 0;
    ASSERT_EQ(chain.gather(runs, 2, bytes), 2);
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(std::string(static_cast<char*>(runs[1].iov_base), runs[1].iov_len), "efgh");
    chain.consume(6);
    std::string rest;
    int length = 0;
    while (const char* front = chain.front(length)) {
        rest.append(front, 1);
        chain.consume(1);
    }
    EXPECT_EQ(rest, "ghij");
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(chain.chunkCount(), 1u);
    chain.append("xyz", 3);
    EXPECT_EQ(chain.chunkCount(), 1u);
    chain.clear();
    EXPECT_EQ(chain.chunkCount(), 0u);
    EXPECT_EQ(chain.front(length), nullptr);
}

}  // namespace
}  // namespace quillharbor
