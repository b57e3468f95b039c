#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp_listing.h"

namespace quillharbor {
namespace {

using Entries = std::vector<FtpListingEntry>;

TEST(FtpListingTest, MlsdTellsFilesFromDirectoriesAndLeavesTheRestOut) {
    const std::string listing =
        "type=cdir;perm=el; /pub\r\n"
        "type=pdir;perm=el; /\r\n"
        "type=file;size=5;modify=20260101000000; with space.txt\r\n"
        "Type=DIR;perm=el; sub dir\r\n"
        "type=OS.unix=slink:/etc; link\r\n"
        "size=3; untyped\n"
        "type=file; semi;colon; x\r\n"
        "type=file;  leading blank\r\n"
        "no-blank-no-name\r\n"
        "type=file; \r\n"
        "type=dir; ..\r\n"
        "type=file; a/b\r\n"
        "type=file; cr\rinside\r\n"
        "type=file; last-without-line-end";
    EXPECT_EQ(ParseMlsdListing(listing), (Entries{{"with space.txt", false},
                                                  {"sub dir", true},
                                                  {"untyped", false},
                                                  {"semi;colon; x", false},
                                                  {" leading blank", false},
                                                  {"last-without-line-end", false}}));
}

TEST(FtpListingTest, NlstNamesAreFilesUntilFetched) {
    const std::string listing =
        std::string("a.txt\r\nsub\n.\r\n..\r\n\r\nx/y\r\nn\0ul\r\nb c\r\n", 36);
    EXPECT_EQ(ParseNlstListing(listing),
              (Entries{{"a.txt", false}, {"sub", false}, {"b c", false}}));
    EXPECT_TRUE(ParseNlstListing("").empty());
}

}  // namespace
}  // namespace quillharbor
