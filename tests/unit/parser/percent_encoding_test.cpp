#include <gtest/gtest.h>

#include <string>

#include "parser/percent_encoding.h"

namespace quillharbor {
namespace {

TEST(PercentEncodingTest, DecodesOnlyWholeEscapes) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"with%20space.txt", "with space.txt"},
        {"%41%6a%4A", "AjJ"},
        {"100%", "100%"},
        {"a%2", "a%2"},
        {"a%zz%%41", "a%zz%A"},
        {"%2e%2E", ".."},
        {"a%0D%0Ab", "a\r\nb"},
        {"a%00b", std::string("a\0b", 3)},
        {"%C3%A9", "\xC3\xA9"},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentDecode(c.in), c.out) << c.in;
}

TEST(PercentEncodingTest, EncodesWhatWouldEndOrEscapeASegmentAndRoundTrips) {
    EXPECT_EQ(PercentEncodeSegment("with space.txt"), "with%20space.txt");
    EXPECT_EQ(PercentEncodeSegment("a/b?c#d%e&f\"<>'"), "a%2Fb%3Fc%23d%25e%26f%22%3C%3E%27");
    EXPECT_EQ(PercentEncodeSegment("caf\xC3\xA9\x7F\t"), "caf%C3%A9%7F%09");
    EXPECT_EQ(PercentEncodeSegment("plain-name_1.2~(x)"), "plain-name_1.2~(x)");
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    EXPECT_EQ(PercentDecode(PercentEncodeSegment(everyByte)), everyByte);
}

}  // namespace
}  // namespace quillharbor
