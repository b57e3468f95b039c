#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp_commands.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"

namespace quillharbor {
namespace {

TEST(FtpReplyParsing, CodesSizesDirectoriesAndPorts) {
    for (const auto& [line, code] : {std::pair{"226 Transfer complete", 226},
                                     {"220", 220},
                                     {" 220", -1},
                                     {"", -1},
                                     {"99999999999999999999 x", 2147483647}})
        EXPECT_EQ(replyCode(line), code) << line;
    EXPECT_TRUE(opensMultiLineReply("220-hi"));
    EXPECT_FALSE(opensMultiLineReply("220 hi") || opensMultiLineReply("-220"));
    // The size is the second number and holds 64 bits.
    for (const auto& [line, size] :
         {std::pair<const char*, std::optional<std::int64_t>>{"213 3221225472", 3221225472LL},
          {"213 size is 77 bytes", 77},
          {"213", std::nullopt},
          {"213 99999999999999999999", std::nullopt}})
        EXPECT_EQ(sizeFromReply(line), size) << line;
    for (const auto& [line, directory] : {std::pair<const char*, std::optional<std::string>>{
                                              "257 \"/pub/a\"\"b\" is current", "/pub/a\"b"},
                                          {"250 \"\" empty", ""},
                                          {"250 CWD command successful", std::nullopt},
                                          {"257 \"/unterminated", std::nullopt}})
        EXPECT_EQ(directoryFromReply(line), directory) << line;
    // The 227 numbers must be bytes; 229 needs its whole form.
    using Port = std::optional<std::uint16_t>;
    for (const auto& [line, port] :
         {std::pair<const char*, Port>{"227 Entering Passive Mode (127,0,0,1,195,80).", 50000},
          {"227 Entering Passive Mode 10,1,2,3,4,1", 1025},
          {"227 (127, 0, 0, 1, 0, 21)", 21},
          {"227 (127,0,0,1,256,1)", std::nullopt},
          {"227 (127,0,0,1,0,0)", std::nullopt},
          {"227", std::nullopt}})
        EXPECT_EQ(passivePortFromReply(line), port) << line;
    for (const auto& [line, port] :
         {std::pair<const char*, Port>{"229 Entering Extended Passive Mode (|||6446|)", 6446},
          {"229 (!!!65535!)", 65535},
          {"229 (|||0|)", std::nullopt},
          {"229 (|||65536|)", std::nullopt},
          {"229 (|||6446)", std::nullopt},
          {"229 (||6446|)", std::nullopt},
          {"229 (1116446|)", std::nullopt},
          {"229 (|||", std::nullopt},
          {"229", std::nullopt}})
        EXPECT_EQ(extendedPassivePortFromReply(line), port) << line;
}

TEST(FtpCommands, PortRestAndStatisticsTexts) {
    EXPECT_EQ(portCommand(0x7F000001, 50000), "PORT 127,0,0,1,195,80");
    EXPECT_EQ(extendedPortCommand("::1", 50000), "EPRT |2|::1|50000|");
    EXPECT_EQ(restartCommand(2147483748LL), "REST 2147483748");
    EXPECT_EQ(controlFailureReply(11001), "500 Host not found (Winsock error #11001)");
    EXPECT_EQ(transferStatistics(1000, 0), "! 1000 bytes received/sent in 0 seconds");
    EXPECT_EQ(transferStatistics(1000, 3),
              "! 1000 bytes received/sent in 0 seconds (333333 Bytes/sec)");
    // From 32768 bytes on the rate is divided first.
    EXPECT_EQ(transferStatistics(40000, 3000),
              "! 40000 bytes received/sent in 3 seconds (13000 Bytes/sec)");
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
