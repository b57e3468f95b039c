#include "parser/attribute_scanner.h"

#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

// Scans a tag text (without its '<' and name) the way the tokenizer does, from its first byte.
struct Scan {
    std::string value;
    std::size_t position;
};

Scan scan(std::string_view tagRest, std::string_view attribute) {
    const HtmlBuffer buffer(tagRest);
    std::size_t position = 0;
    std::string value = GetAttrValue(buffer, attribute, position);
    return {value, position};
}

TEST(GetAttrValueTest, QuotedUnquotedAndBare) {
    EXPECT_EQ(scan(" href=\"x.html\">", "href").value, "x.html");
    EXPECT_EQ(scan(" HREF='x.html'>", "href").value, "x.html");
    EXPECT_EQ(scan(" href=x.html>", "href").value, "x.html");
    EXPECT_EQ(scan(" href=x.html title=t>", "href").value, "x.html");
    EXPECT_EQ(scan(" href = 'x.html' >", "href").value, "x.html");
    EXPECT_EQ(scan(" href x.html>", "href").value, "x.html");  // no equals sign needed
    EXPECT_EQ(scan(" href=''>", "href").value, "");
    EXPECT_EQ(scan(" title=t>", "href").value, "");
    // Only a blank ends an unquoted value.
    EXPECT_EQ(scan(" href=a\tb c>", "href").value, "a\tb");
}

TEST(GetAttrValueTest, OtherAttributesAreSkipped) {
    EXPECT_EQ(scan(" title=\"a href=no\" href=yes>", "href").value, "yes");
    EXPECT_EQ(scan(" title=a=b href=yes>", "href").value, "yes");
    EXPECT_EQ(scan(" nohref href=yes>", "href").value, "yes");
    EXPECT_EQ(scan(" hreflang=en href=yes>", "href").value, "yes");
    EXPECT_EQ(scan(" src=a.gif lowsrc=b.gif>", "lowsrc").value, "b.gif");
    EXPECT_EQ(scan(" abcdefghijklmnopqhref=x href=y>", "href").value, "y");
}

TEST(GetAttrValueTest, TheTagEndsTheScan) {
    // A '>' ends the tag even inside quotes.
    Scan s = scan(" title='a>b' href='x.html'>", "href");
    EXPECT_EQ(s.value, "");
    EXPECT_EQ(s.position, 9u);
    // A quoted value cut by '>' keeps what came before it.
    EXPECT_EQ(scan(" href=\"x.html>rest\"", "href").value, "x.html");
    // A '<' outside a value stops at that '<' so that the tokenizer finds it.
    s = scan(" title=t <a href=x>", "href");
    EXPECT_EQ(s.value, "");
    EXPECT_EQ(s.position, 9u);
    s = scan(" href=x.html>after", "href");
    EXPECT_EQ(s.position, 12u);
}

TEST(GetAttrValueTest, EndOfDocumentBoundsEveryState) {
    for (std::string_view rest : {"", " ", " href", " href=", " href='", " href=x", " href='x",
                                  " t='x", " t=x", " t", " t "}) {
        const Scan s = scan(rest, "href");
        EXPECT_LT(s.position, rest.size() + HtmlBuffer::kSentinel.size()) << rest;
    }
    EXPECT_EQ(scan(" href='x.html", "href").value, "x.html");  // never the sentinel
    EXPECT_EQ(scan(" href=x", "href").value, "x");

    const HtmlBuffer buffer(" href=x>");
    for (std::size_t start = 0; start < buffer.size() + HtmlBuffer::kSentinel.size(); ++start) {
        std::size_t position = start;
        GetAttrValue(buffer, "href", position);
        EXPECT_LT(position, buffer.size() + HtmlBuffer::kSentinel.size());
    }
}

TEST(GetAttrValuePosTest, PositionsFrameTheReplaceableText) {
    const auto pos = [](std::string_view rest) {
        const HtmlBuffer buffer(rest);
        std::size_t position = 0;
        return GetAttrValuePos(buffer, "href", position);
    };
    // " href='sub/c.html#part'>": quote at 6, '#' at 17.
    AttrValuePosition v = pos(" href='sub/c.html#part'>");
    EXPECT_EQ(v.value, "sub/c.html");
    EXPECT_EQ(v.start, 6u);
    EXPECT_EQ(v.end, 17u);
    v = pos(" href='b.html'>");
    EXPECT_EQ(v.value, "b.html");
    EXPECT_EQ(v.start, 6u);
    EXPECT_EQ(v.end, 13u);
    // Unquoted: the byte before the value is kept, and so is the '>' after it.
    v = pos(" href=x.html>");
    EXPECT_EQ(v.value, "x.html");
    EXPECT_EQ(v.start, 5u);
    EXPECT_EQ(v.end, 12u);
    v = pos(" href=x.html title=t>");
    EXPECT_EQ(v.end, 12u);
    v = pos(" href=x#y>");
    EXPECT_EQ(v.value, "x");
    EXPECT_EQ(v.end, 7u);
    // A value cut by the end of the document ends inside it.
    v = pos(" href='x");
    EXPECT_EQ(v.value, "x");
    EXPECT_EQ(v.end, 8u);
}

}  // namespace
}  // namespace quillharbor
