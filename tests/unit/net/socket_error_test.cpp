#include "net/socket_error.h"
#include "net/name_resolution.h"
#include "net/socket_exception.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace quillharbor {
namespace {

TEST(SocketError, TextsAndDescriptions) {
    EXPECT_EQ(socketErrorText(10057, "Send"),
              "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(socketErrorDesc(0), "No Error");
    EXPECT_EQ(socketErrorDesc(10061), "Connection refused");
    EXPECT_EQ(socketErrorDesc(11004), "No Data");
    EXPECT_EQ(socketErrorDesc(10000), "Not a WinSock error");
    EXPECT_EQ(socketErrorDesc(WSASYSCALLFAILURE), "Not a WinSock error");
}

TEST(SocketError, LinuxCodesMapOntoWindowsSocketsCodes) {
    EXPECT_EQ(socketErrorFromErrno(0), 0);
    EXPECT_EQ(socketErrorFromErrno(EAGAIN), WSAEWOULDBLOCK);
    EXPECT_EQ(socketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(socketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(socketErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(socketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(socketErrorFromErrno(ETIMEDOUT), 10060);
    // Whatever has no counterpart still lands above 10000, where the engine retries.
    EXPECT_EQ(socketErrorFromErrno(EIO), WSASYSCALLFAILURE);
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_NONAME), 11001);
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_AGAIN), 11002);
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_FAIL), 11003);
    EXPECT_EQ(socketErrorFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(NameResolution, DottedAddresses) {
    EXPECT_EQ(parseDottedAddress(" 10.0.0.255 "), htonl(0x0a0000ff));
    EXPECT_EQ(parseDottedAddress("255.255.255.255"), 0xffffffffu);
    for (const char* bad : {"", ".1.2.3", "1.2.3", "1.2.3.4.5", "1.2.3.", "1..2.3", "256.1.1.1",
                            "1.2.3.4x", "1.2.3.4 5", "a.b.c.d"})
        EXPECT_FALSE(parseDottedAddress(bad)) << bad;
    EXPECT_EQ(dottedAddress(htonl(0xc0a80001)), "192.168.0.1");
}

TEST(NameResolution, HelpersRaiseTheirOwnTexts) {
    EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolvePort("8080abc", "tcp"), 8080);
    EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto("17"), 17);
    const auto raised = [](auto call) {
        try {
            call();
        } catch (const ESocketException& e) {
            return std::string(e.what());
        }
        return std::string("nothing raised");
    };
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
    EXPECT_EQ(raised([] { WSocketResolveHost("no-such-host.invalid"); })
                  .rfind("WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', "
                         "Error #110",
                         0),
              0u);
}

}  // namespace
}  // namespace quillharbor
