#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp_commands.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"
#include "net/ftp_reply_reader.h"

namespace quillharbor {
namespace {

// The lines as "text|code", the reply's last line marked with "$".
std::string drain(FtpReplyReader& reader) {
    std::string lines;
    while (auto line = reader.next())
        lines += line->text + "|" + std::to_string(line->code) + (line->endsReply ? "$ " : " ");
    return lines;
}

TEST(FtpReplyReader, RepliesEndAtTheirOwnCodeWhereverTheBytesAreSplit) {
    const struct {
        std::string input;
        bool acceptLF;
        std::string lines;
    } rows[] = {
        // A multi-line reply ends only at its own code followed by a blank.
        {"220-Welcome\r\n150 files at most\r\n220-still\r\n indented\r\n220 ready\r\n331 "
         "Password\r\n",
         true,
         "220-Welcome|220 150 files at most|150 220-still|220  indented|-1 220 ready|220$ 331 "
         "Password|331$ "},
        {"226 ok\n230 in\r\r\n", true, "226 ok|226$ 230 in|230$ "},
        {"226 ok\n230 in\r\n", false, "226 ok\n230 in|226$ "},  // without it a lone LF is text
        {"hello\r\n\r\n200 ok\r\n", true, "hello|-1 |-1 200 ok|200$ "}};
    for (const auto& row : rows) {
        for (std::size_t cut = 0; cut <= row.input.size(); ++cut) {
            FtpReplyReader reader(row.acceptLF);
            reader.feed(row.input.substr(0, cut));
            std::string lines = drain(reader);
            reader.feed(row.input.substr(cut));
            EXPECT_EQ(lines + drain(reader), row.lines) << "split at " << cut;
        }
        FtpReplyReader bytewise(row.acceptLF);
        std::string lines;
        for (const char byte : row.input) {
            bytewise.feed(std::string(1, byte));
            lines += drain(bytewise);
        }
        EXPECT_EQ(lines, row.lines) << "one byte at a time";
    }
    // A line longer than the buffer leaves no room.
    FtpReplyReader reader;
    EXPECT_EQ(reader.room(), FtpReplyReader::BufferSize - 1);
    reader.feed(std::string(5000, 'x'));
    EXPECT_EQ(reader.room(), 0u);
    EXPECT_FALSE(reader.next());
    reader.clear();
    reader.feed(std::string(4094, 'x') + "\n");
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.room(), FtpReplyReader::BufferSize - 1);
}

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
