// The page saved for a listed FTP directory.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clients/ftp_directory_page.h"
#include "clients/ftp_url_names.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"

namespace quillharbor {
namespace {

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
