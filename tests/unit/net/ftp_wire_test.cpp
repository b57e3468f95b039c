#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp_commands.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"

namespace quillharbor {
namespace {

std::string show(std::int64_t value) {
    return std::to_string(value);
}
std::string show(const std::string& value) {
    return value;
}
template <class Value>
std::string show(const std::optional<Value>& value) {
    return value ? show(*value) : "-";
}
// What `parse` makes of each line, each followed by a blank.
template <class Parse>
std::string each(Parse parse, std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) out += show(parse(line)) + " ";
    return out;
}

TEST(FtpWire, RepliesAndCommands) {
    const std::pair<std::string, std::string> rows[] = {
        {each(replyCode, {"226 Transfer complete", "220", " 220", "", "99999999999999999999 x"}),
         "226 220 -1 -1 2147483647 "},
        {each(opensMultiLineReply, {"220-hi", "220 hi", "-220"}), "1 0 0 "},
        // The size is the second number and holds 64 bits.
        {each(sizeFromReply,
              {"213 3221225472", "213 size is 77 bytes", "213", "213 99999999999999999999"}),
         "3221225472 77 - - "},
        {each(directoryFromReply, {"257 \"/pub/a\"\"b\" is current", "250 \"\" empty",
                                   "250 CWD command successful", "257 \"/unterminated"}),
         "/pub/a\"b  - - "},
        // The 227 numbers must be bytes; 229 needs its whole form.
        {each(passivePortFromReply,
              {"227 Entering Passive Mode (127,0,0,1,195,80).",
               "227 Entering Passive Mode 10,1,2,3,4,1", "227 (127, 0, 0, 1, 0, 21)",
               "227 (127,0,0,1,256,1)", "227 (127,0,0,1,0,0)", "227"}),
         "50000 1025 21 - - - "},
        {each(extendedPassivePortFromReply,
              {"229 Entering Extended Passive Mode (|||6446|)", "229 (!!!65535!)", "229 (|||0|)",
               "229 (|||65536|)", "229 (|||6446)", "229 (||6446|)", "229 (1116446|)", "229 (|||",
               "229"}),
         "6446 65535 - - - - - - - "},
        {portCommand(0x7F000001, 50000), "PORT 127,0,0,1,195,80"},
        {extendedPortCommand("::1", 50000), "EPRT |2|::1|50000|"},
        {restartCommand(2147483748LL), "REST 2147483748"},
        {controlFailureReply(11001), "500 Host not found (Winsock error #11001)"},
        {transferStatistics(1000, 0), "! 1000 bytes received/sent in 0 seconds"},
        {transferStatistics(1000, 3), "! 1000 bytes received/sent in 0 seconds (333333 Bytes/sec)"},
        // From 32768 bytes on the rate is divided first.
        {transferStatistics(40000, 3000),
         "! 40000 bytes received/sent in 3 seconds (13000 Bytes/sec)"},
    };
    for (const auto& [got, expected] : rows) EXPECT_EQ(got, expected);
}

TEST(FtpListingTest, EntriesAreSafeNamesOfFilesOrDirectories) {
    using Entries = std::vector<FtpListingEntry>;
    // MLSD tells files from directories and leaves the rest out.
    EXPECT_EQ(ParseMlsdListing(
                  "type=cdir;perm=el; /pub\r\ntype=pdir;perm=el; /\r\n"
                  "type=file;size=5;modify=20260101000000; with space.txt\r\n"
                  "Type=DIR;perm=el; sub dir\r\ntype=OS.unix=slink:/etc; link\r\nsize=3; untyped\n"
                  "type=file; semi;colon; x\r\ntype=file;  leading blank\r\nno-blank-no-name\r\n"
                  "type=file; \r\ntype=dir; ..\r\ntype=file; a/b\r\ntype=file; cr\rinside\r\n"
                  "type=file; last-without-line-end"),
              (Entries{{"with space.txt", false},
                       {"sub dir", true},
                       {"untyped", false},
                       {"semi;colon; x", false},
                       {" leading blank", false},
                       {"last-without-line-end", false}}));
    // NLST names are files until fetched.
    EXPECT_EQ(
        ParseNlstListing(std::string("a.txt\r\nsub\n.\r\n..\r\n\r\nx/y\r\nn\0ul\r\nb c\r\n", 36)),
        (Entries{{"a.txt", false}, {"sub", false}, {"b c", false}}));
    EXPECT_TRUE(ParseNlstListing("").empty());
}

}  // namespace
}  // namespace quillharbor
