#include "net/socket_error.h"
#include "net/name_resolution.h"
#include "net/socket_exception.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <string>
#include <vector>

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
    EXPECT_EQ(socketErrorFromErrno(ENETUNREACH), 10051);  // no route for the address's family
    EXPECT_EQ(socketErrorFromErrno(EAFNOSUPPORT), 10047);
    EXPECT_EQ(socketErrorFromErrno(ENODEV), 10049);
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

TEST(NameResolution, AddressLiteralsOfBothFamilies) {
    const struct {
        const char* text;
        const char* normal;  // empty: no address literal
        int family;
    } cases[] = {
        {" 10.0.0.1 ", "10.0.0.1", AF_INET},
        {"::1", "::1", AF_INET6},
        {"[::1]", "::1", AF_INET6},
        {"0:0:0:0:0:0:0:1", "::1", AF_INET6},
        {"[2001:DB8::A]", "2001:db8::a", AF_INET6},
        {"::ffff:127.0.0.1", "::ffff:127.0.0.1", AF_INET6},
        {"example.org", "", 0},
        {"1.2.3", "", 0},
        {"[::1", "", 0},
        {":::1", "", 0},
    };
    for (const auto& c : cases) {
        const auto address = SocketAddress::parse(c.text);
        EXPECT_EQ(address ? address->text() : "", c.normal) << c.text;
        EXPECT_EQ(address ? address->family() : 0, c.family) << c.text;
    }
    EXPECT_EQ(SocketAddress::parse("::ffff:10.1.2.3")->unmapped().text(), "10.1.2.3");
    EXPECT_EQ(WSocketResolveAddress("[::1]").text(), "::1");
}

TEST(NameResolution, AddressesOfOneNameAlternateFamiliesFromTheFirst) {
    using List = std::vector<std::string>;
    const struct {
        List found;
        List tried;
    } cases[] = {
        {{"::1", "::2", "10.0.0.1", "10.0.0.2"}, {"::1", "10.0.0.1", "::2", "10.0.0.2"}},
        {{"10.0.0.1", "::1", "10.0.0.2"}, {"10.0.0.1", "::1", "10.0.0.2"}},
        {{"10.0.0.1", "10.0.0.2", "::1", "::2", "::3"},
         {"10.0.0.1", "::1", "10.0.0.2", "::2", "::3"}},
        {{"10.0.0.1", "10.0.0.1", "::1", "::1"}, {"10.0.0.1", "::1"}},
        {{"::1"}, {"::1"}},
        {{}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(alternateFamilies(c.found), c.tried) << c.found.size();
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
