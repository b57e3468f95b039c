#include "net/line_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillharbor {
namespace {

std::vector<std::string> takeLines(LineAssembler& lines) {
    std::vector<std::string> out;
    while (const std::size_t length = lines.offerLine()) {
        std::string line(length, '\0');
        EXPECT_EQ(lines.readLine(line.data(), length), length);
        out.push_back(line);
    }
    return out;
}

TEST(LineAssembler, FindsLinesSplitAtEveryOffset) {
    const std::string stream = "ab\r\ncd\r\n\r\nlast";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LineAssembler lines;
        std::vector<std::string> got;
        lines.add(stream.substr(0, cut), false, false);
        for (const auto& line : takeLines(lines)) got.push_back(line);
        lines.add(stream.substr(cut), false, false);
        for (const auto& line : takeLines(lines)) got.push_back(line);
        EXPECT_EQ(got, (std::vector<std::string>{"ab\r\n", "cd\r\n", "\r\n"})) << "cut at " << cut;
        EXPECT_EQ(lines.size(), 4u);
    }
}

TEST(LineAssembler, FeedsOneByteAtATimeWithALongLineEnd) {
    LineAssembler lines("<END>");
    std::vector<std::string> got;
    for (char byte : std::string("x<EN<END>yy<END<END>"))
        lines.add(std::string(1, byte), false, false);
    got = takeLines(lines);
    EXPECT_EQ(got, (std::vector<std::string>{"x<EN<END>", "yy<END<END>"}));
}

TEST(LineAssembler, ReadsAnOfferedLineInPieces) {
    LineAssembler lines;
    lines.add("hello\r\nworld\r\n", false, false);
    ASSERT_EQ(lines.offerLine(), 7u);
    char piece[3];
    EXPECT_EQ(lines.readLine(piece, 3), 3u);
    EXPECT_EQ(std::string(piece, 3), "hel");
    EXPECT_EQ(lines.offered(), 4u);
    // While a line is offered, the next one waits.
    EXPECT_EQ(lines.offerLine(), 4u);
    lines.dropLine();
    EXPECT_EQ(lines.offerLine(), 7u);
    EXPECT_EQ(takeLines(lines), (std::vector<std::string>{"world\r\n"}));
    EXPECT_TRUE(lines.empty());
}

TEST(LineAssembler, EditsBackspacesAndTabsAndEchoes) {
    LineAssembler lines;
    EXPECT_EQ(lines.add("abx\b", true, true), "abx\b \b");
    EXPECT_EQ(lines.add("\tc\r\n", true, true), "      c\r\n");
    EXPECT_EQ(takeLines(lines), (std::vector<std::string>{"ab      c\r\n"}));
    // A backspace on an empty buffer removes nothing and echoes nothing.
    EXPECT_EQ(lines.add("\b", true, true), "");
    // Without editing, control bytes are kept and echoed as they came.
    EXPECT_EQ(lines.add("a\bb\r\n", false, true), "a\bb\r\n");
    EXPECT_EQ(takeLines(lines), (std::vector<std::string>{"a\bb\r\n"}));
}

TEST(LineAssembler, FindsALineEndCompletedAfterBackspaces) {
    LineAssembler lines;
    lines.add("ab\r", false, false);
    EXPECT_EQ(lines.offerLine(), 0u);
    lines.add("\b\b\r\n", true, false);
    EXPECT_EQ(takeLines(lines), (std::vector<std::string>{"a\r\n"}));
}

}  // namespace
}  // namespace quillharbor
