// The HTTP client and a name with an IPv6 and an IPv4 address of which only IPv4 answers (a
// private /etc/hosts): the request goes through over IPv4.

#include <gtest/gtest.h>

#include <string>

#include "net/http_servers.h"
#include "net/private_hosts.h"

namespace quillharbor::test {
namespace {

class Ipv6HttpTest : public HttpIntegrationTest {};

TEST_F(Ipv6HttpTest, ANameWhoseIPv6AddressFailsConnectsOverIPv4) {
    if (!insidePrivateHosts()) {
        const int status = rerunWithPrivateHosts("::1 dual.test\n127.0.0.1 dual.test\n");
        if (status == -1) {
            GTEST_SKIP() << "no private mount namespace here (unshare -m is not permitted)";
        }
        EXPECT_EQ(status, 0);
        return;
    }
    {
        // IPv6 leads: the unreachable address is tried first.
        TWSocket socket(loop);
        int lookedUp = -1;
        socket.OnDnsLookupDone = [&](TWSocket&, int error) { lookedUp = error; };
        socket.DnsLookup("dual.test");
        ASSERT_TRUE(runUntil([&] { return lookedUp != -1; }));
        EXPECT_EQ(socket.DnsResultList(), (std::vector<std::string>{"::1", "127.0.0.1"}));
    }
    ASSERT_TRUE(servers.startNginx());
    const std::string url = "http://dual.test:" + std::to_string(servers.nginxPort) + "/index.html";
    // Refused on ::1 the next address is tried at once; silent, after its head start.
    for (const bool silent : {false, true}) {
        const SilentIPv6Port hole(silent ? servers.nginxPort : 0);
        ASSERT_TRUE(!silent || hole.ok());
        body.clear();
        doneErrors.clear();
        ASSERT_TRUE(fetch(url)) << silent;
        EXPECT_EQ(doneErrors, std::vector<int>{0}) << silent;
        EXPECT_EQ(cli->StatusCode(), 200) << silent;
        EXPECT_EQ(body, servers.document) << silent;
    }
    // Where neither address answers, the request fails once, with the last failure.
    doneErrors.clear();
    ASSERT_TRUE(fetch("http://dual.test:" + std::to_string(freePort()) + "/"));
    EXPECT_EQ(doneErrors, std::vector<int>{10061});
}

}  // namespace
}  // namespace quillharbor::test
