#include "parser/attribute_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace quillharbor {
namespace {

// Scans the text after a tag name from its first byte, as the tokenizer does.
std::string value(std::string_view tagRest, std::string_view attribute = "href") {
    std::size_t position = 0;
    return GetAttrValue(HtmlBuffer(tagRest), attribute, position);
}

std::size_t endPosition(std::string_view tagRest) {
    std::size_t position = 0;
    GetAttrValue(HtmlBuffer(tagRest), "href", position);
    return position;
}

TEST(GetAttrValueTest, ValueShapes) {
    EXPECT_EQ(value(" HREF='x.html'>"), "x.html");
    EXPECT_EQ(value(" href=x.html title=t>"), "x.html");
    EXPECT_EQ(value(" href = \"x.html\" >"), "x.html");
    EXPECT_EQ(value(" href x.html>"), "x.html");  // no equals sign needed
    EXPECT_EQ(value(" href=a\tb c>"), "a\tb");    // only a blank ends an unquoted value
    EXPECT_EQ(value(" title=\"a href=no\" href=yes>"), "yes");
    EXPECT_EQ(value(" title=a=b nohref hreflang=en href=yes>"), "yes");
    EXPECT_EQ(value(" src=a.gif lowsrc=b.gif>", "lowsrc"), "b.gif");
    EXPECT_EQ(value(" abcdefghijklmnopqhref=x href=y>"), "y");
}

TEST(GetAttrValueTest, TheTagBoundsTheScan) {
    EXPECT_EQ(value(" title='a>b' href='x.html'>"), "");  // '>' ends the tag even in quotes
    EXPECT_EQ(endPosition(" title='a>b' href='x.html'>"), 9u);
    EXPECT_EQ(value(" href=\"x.html>rest\""), "x.html");
    EXPECT_EQ(endPosition(" title=t <a href=x>"), 9u);  // resumes at the '<'
    EXPECT_EQ(endPosition(" href=x.html>after"), 12u);
    // A value cut by the end of the document never takes in the sentinel.
    EXPECT_EQ(value(" href='x.html"), "x.html");
    for (std::string_view rest : {"", " href", " href=", " href='", " t='x", " t=x", " t"}) {
        EXPECT_LT(endPosition(rest), rest.size() + HtmlBuffer::kSentinel.size()) << rest;
    }
}

TEST(GetAttrValuePosTest, PositionsFrameTheReplaceableText) {
    const auto pos = [](std::string_view rest) {
        std::size_t position = 0;
        const AttrValuePosition found = GetAttrValuePos(HtmlBuffer(rest), "href", position);
        return std::tuple(found.value, found.start, found.end);
    };
    // Quoted: from the opening quote to the closing quote, or to a '#'.
    EXPECT_EQ(pos(" href='sub/c.html#part'>"), std::tuple("sub/c.html", 6u, 17u));
    EXPECT_EQ(pos(" href='b.html'>"), std::tuple("b.html", 6u, 13u));
    // Unquoted: the byte before the value and the blank or '>' after it are kept.
    EXPECT_EQ(pos(" href=x.html>"), std::tuple("x.html", 5u, 12u));
    EXPECT_EQ(pos(" href=x.html title=t>"), std::tuple("x.html", 5u, 12u));
    EXPECT_EQ(pos(" href='x"), std::tuple("x", 6u, 8u));
}

}  // namespace
}  // namespace quillharbor
