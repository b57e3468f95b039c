// quillharbor-cli over https: a refused certificate is reported in words and writes nothing,
// --insecure fetches it all the same, and with HTTPS off an https URL starts no task.

#include <gmock/gmock.h>

#include "cli/cli_fixture.h"
#include "net/tls_servers.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

using CliHttpsTest = CliTest;

TEST_F(CliHttpsTest, ARefusedCertificateIsReportedInWordsUnlessTheTaskIsInsecure) {
    TlsServers& tls = TlsServers::instance();
    const std::uint16_t expired = tls.start("expired");
    ASSERT_NE(expired, 0);
    const std::string page = TlsServers::https(expired, "/index.html");

    const fs::path home = newHome("expired");
    std::string out;
    EXPECT_EQ(run(home, {"get", page, "--levels", "0"}, &out), 1);
    EXPECT_THAT(out, HasSubstr("  804 certificate expired  " + page));
    EXPECT_EQ(treeOf(home / "My Downloads").size(), 0u) << "nothing is written";

    const fs::path insecure = newHome("insecure");
    EXPECT_EQ(run(insecure, {"get", page, "--levels", "0", "-k"}, &out), 0) << out;
    EXPECT_EQ(treeOf(insecure / "My Downloads").size(), 1u);

    const fs::path off = newHome("off");
    std::ofstream(off / "Quillharbor.ini") << "[General]\nHTTPS=0\n";
    std::string err;
    EXPECT_EQ(run(off, {"get", page}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("HTTPS is turned off"));
}

}  // namespace
}  // namespace quillharbor::test
