// What an FTP URL names on the server and on disk, and the page saved for a listed directory.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clients/ftp_directory_page.h"
#include "clients/ftp_url_names.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"

namespace quillharbor {
namespace {

TEST(FtpUrlNamesTest, TheServerGetsDecodedNamesAndTheDiskSafeOnes) {
    const struct {
        std::string url, directory, file, local;
    } cases[] = {
        {"ftp://h/pub/with%20space.txt", "/pub/", "with space.txt", "with space.txt"},
        {"ftp://h/my%20dir/a%2Fb%3Fc:d.bin", "/my dir/", "a/b?c:d.bin", "a-b-c-d.bin"},
        {"ftp://h/pub/", "/pub/", "", "index.html"},
        {"ftp://h/pub/%2E%2E", "/pub/", "..", "index.html"},
        {"ftp://h/pub/a.txt#part", "/pub/", "a.txt", "a.txt"},
        {"ftp://h:2121/x%0D%0ADELE%20y", "/", "x\r\nDELE y", "x\r\nDELE y"},
        {"ftp://h", "", "", "index.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FtpRemoteDirectory(c.url), c.directory) << c.url;
        EXPECT_EQ(FtpRemoteFileName(c.url), c.file) << c.url;
        EXPECT_EQ(FtpLocalName(c.url), c.local) << c.url;
    }
}

// The links the intake finds in the page are the entries' URLs, and each names its entry again
// once decoded.
TEST(FtpDirectoryPageTest, LinksNameEveryEntryUnderTheDirectory) {
    const std::vector<FtpListingEntry> entries = {
        {"with space.txt", false}, {"sub dir", true}, {"a&b<c>\"d'#?.txt", false}};
    const std::string page = FtpDirectoryPage("ftp://h:21/pub/", entries);
    std::vector<std::string> links;
    ExtractLinks(HtmlBuffer(page), links, false, "ftp://h:21/pub/");
    ASSERT_EQ(links, (std::vector<std::string>{"ftp://h:21/pub/with%20space.txt",
                                               "ftp://h:21/pub/sub%20dir/",
                                               "ftp://h:21/pub/a%26b%3Cc%3E%22d%27%23%3F.txt"}));
    EXPECT_EQ(FtpRemoteFileName(links[2]), entries[2].name);
    EXPECT_NE(page.find("a&amp;b&lt;c&gt;&quot;d'#?.txt</a>"), std::string::npos) << page;
}

}  // namespace
}  // namespace quillharbor
