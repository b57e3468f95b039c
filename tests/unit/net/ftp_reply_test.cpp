#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ftp_commands.h"
#include "net/ftp_reply.h"
#include "net/ftp_reply_reader.h"

namespace quillharbor {
namespace {

struct Seen {
    std::string text;
    int code;
    bool endsReply;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> drain(FtpReplyReader& reader) {
    std::vector<Seen> lines;
    while (auto line = reader.next()) lines.push_back({line->text, line->code, line->endsReply});
    return lines;
}

// Feeds the input split at every offset, and one byte at a time; every way must give the same
// lines as feeding it whole.
std::vector<Seen> readSplitEveryWay(const std::string& input, bool acceptLF = true) {
    FtpReplyReader whole(acceptLF);
    whole.feed(input);
    const std::vector<Seen> expected = drain(whole);
    for (std::size_t cut = 0; cut <= input.size(); ++cut) {
        FtpReplyReader reader(acceptLF);
        reader.feed(input.substr(0, cut));
        std::vector<Seen> lines = drain(reader);
        reader.feed(input.substr(cut));
        for (const Seen& line : drain(reader)) lines.push_back(line);
        EXPECT_EQ(lines, expected) << "split at " << cut;
    }
    FtpReplyReader bytewise(acceptLF);
    std::vector<Seen> lines;
    for (const char byte : input) {
        bytewise.feed(std::string(1, byte));
        for (const Seen& line : drain(bytewise)) lines.push_back(line);
    }
    EXPECT_EQ(lines, expected) << "one byte at a time";
    return expected;
}

TEST(FtpReplyReader, MultiLineReplyEndsOnlyAtItsOwnCodeFollowedByABlank) {
    const std::vector<Seen> lines = readSplitEveryWay(
        "220-Welcome\r\n"
        "150 files at most\r\n"
        "220-still the banner\r\n"
        " indented text\r\n"
        "220 ready\r\n"
        "331 Password required\r\n");
    const std::vector<Seen> expected = {
        {"220-Welcome", 220, false},
        {"150 files at most", 150, false},
        {"220-still the banner", 220, false},
        {" indented text", -1, false},
        {"220 ready", 220, true},
        {"331 Password required", 331, true},
    };
    EXPECT_EQ(lines, expected);
}

TEST(FtpReplyReader, LineEndsFollowTheAcceptLFOption) {
    EXPECT_EQ(readSplitEveryWay("226 ok\n230 in\r\r\n", true),
              (std::vector<Seen>{{"226 ok", 226, true}, {"230 in", 230, true}}));
    // Without it, a lone LF is part of the line.
    EXPECT_EQ(readSplitEveryWay("226 ok\n230 in\r\n", false),
              (std::vector<Seen>{{"226 ok\n230 in", 226, true}}));
}

TEST(FtpReplyReader, TextWithoutCodeOutsideAReplyIsNoReply) {
    EXPECT_EQ(readSplitEveryWay("hello\r\n\r\n200 ok\r\n"),
              (std::vector<Seen>{{"hello", -1, false}, {"", -1, false}, {"200 ok", 200, true}}));
}

TEST(FtpReplyReader, ALineLongerThanTheBufferLeavesNoRoom) {
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

TEST(FtpReplyParsing, CodesAndMultiLineMarks) {
    EXPECT_EQ(replyCode("226 Transfer complete"), 226);
    EXPECT_EQ(replyCode("220"), 220);
    EXPECT_EQ(replyCode(" 220"), -1);
    EXPECT_EQ(replyCode(""), -1);
    EXPECT_EQ(replyCode("99999999999999999999 x"), 2147483647);
    EXPECT_TRUE(opensMultiLineReply("220-hi"));
    EXPECT_FALSE(opensMultiLineReply("220 hi"));
    EXPECT_FALSE(opensMultiLineReply("-220"));
}

TEST(FtpReplyParsing, SizeIsTheSecondNumberAndHolds64Bits) {
    EXPECT_EQ(sizeFromReply("213 3221225472"), 3221225472LL);
    EXPECT_EQ(sizeFromReply("213 size is 77 bytes"), 77);
    EXPECT_EQ(sizeFromReply("213"), std::nullopt);
    EXPECT_EQ(sizeFromReply("213 99999999999999999999"), std::nullopt);
}

TEST(FtpReplyParsing, DirectoryBetweenQuotesWithDoubledQuotes) {
    EXPECT_EQ(directoryFromReply("257 \"/pub/a\"\"b\" is current"), "/pub/a\"b");
    EXPECT_EQ(directoryFromReply("250 \"\" empty"), "");
    EXPECT_EQ(directoryFromReply("250 CWD command successful"), std::nullopt);
    EXPECT_EQ(directoryFromReply("257 \"/unterminated"), std::nullopt);
}

TEST(FtpReplyParsing, PassivePortNeedsSixByteNumbers) {
    EXPECT_EQ(passivePortFromReply("227 Entering Passive Mode (127,0,0,1,195,80)."), 50000);
    EXPECT_EQ(passivePortFromReply("227 Entering Passive Mode 10,1,2,3,4,1"), 1025);
    EXPECT_EQ(passivePortFromReply("227 (127, 0, 0, 1, 0, 21)"), 21);
    EXPECT_EQ(passivePortFromReply("227 (127,0,0,1,256,1)"), std::nullopt);
    EXPECT_EQ(passivePortFromReply("227 (127,0,0,1,0,0)"), std::nullopt);
    EXPECT_EQ(passivePortFromReply("227"), std::nullopt);
}

TEST(FtpReplyParsing, ExtendedPassivePortNeedsTheWholeForm) {
    const struct {
        const char* line;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446},
        {"229 (!!!65535!)", 65535},
        {"229 (|||0|)", std::nullopt},
        {"229 (|||65536|)", std::nullopt},
        {"229 (|||6446)", std::nullopt},
        {"229 (||6446|)", std::nullopt},
        {"229 (1116446|)", std::nullopt},
        {"229 (|||", std::nullopt},
        {"229", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(extendedPassivePortFromReply(c.line), c.port) << c.line;
}

TEST(FtpCommands, PortRestAndStatisticsTexts) {
    EXPECT_EQ(portCommand(0x7F000001, 50000), "PORT 127,0,0,1,195,80");
    EXPECT_EQ(extendedPortCommand("::1", 50000), "EPRT |2|::1|50000|");
    EXPECT_EQ(restartCommand(2147483748LL), "REST 2147483748");
    EXPECT_EQ(controlFailureReply(11001), "500 Host not found (Winsock error #11001)");
    EXPECT_EQ(transferStatistics(1000, 0), "! 1000 bytes received/sent in 0 seconds");
    EXPECT_EQ(transferStatistics(1000, 3),
              "! 1000 bytes received/sent in 0 seconds (333333 Bytes/sec)");
    // From 32768 bytes on the rate is divided first, as it always was.
    EXPECT_EQ(transferStatistics(40000, 3000),
              "! 40000 bytes received/sent in 3 seconds (13000 Bytes/sec)");
}

}  // namespace
}  // namespace quillharbor
