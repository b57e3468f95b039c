#include <gtest/gtest.h>

#include <string>

#include "clients/http_local_name.h"
#include "clients/http_resume.h"

namespace quillharbor {
namespace {

TEST(DocumentName, NoNameLeavesTheTaskDirectory) {
    EXPECT_EQ(DocumentName("http://h/dir/"), "index.html");
    EXPECT_EQ(DocumentName("http://h"), "index.html");
    EXPECT_EQ(DocumentName("http://h/a/.."), "index.html");
    EXPECT_EQ(DocumentName("http://h/a/."), "index.html");
    EXPECT_EQ(DocumentName("http://h/a/..%2f..%2fx"), "..%2f..%2fx");
    EXPECT_EQ(DocumentName("http://h/a\\..\\b"), "b");
    EXPECT_EQ(DocumentName("http://h/cgi/b.cgi?x=1"), "b.cgi");
    EXPECT_EQ(DocumentName("http://h/run?x"), "run");
}

TEST(DocumentName, LongNamesAreCutKeepingAShortExtension) {
    const std::string stem(400, 'n');
    EXPECT_EQ(DocumentName("http://h/" + stem + ".tar"), std::string(196, 'n') + ".tar");
    EXPECT_EQ(DocumentName("http://h/a." + stem), "a." + std::string(198, 'n'));
}

TEST(HtmlNames, OnlyMissingOrUnlikelyExtensionsGetHtml) {
    EXPECT_EQ(HtmlNameFor("list"), "list.html");
    EXPECT_EQ(HtmlNameFor("x.longext"), "x.longext.html");
    EXPECT_EQ(HtmlNameFor("page.asp"), "");
    EXPECT_EQ(HtmlNameFor("b.cgi"), "");
    EXPECT_TRUE(ErrorPageNeedsHtmlName("missing.bin"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing.HTM"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing.Html"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing"));
}

TEST(ResumeAnswer, OnlyARangeFromTheEndOfThePartialFileIsAppended) {
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "1000"), ResumeAnswer::Append);
    EXPECT_EQ(classifyResumeAnswer(2500000000, 206, "2500000000"), ResumeAnswer::Append);
    EXPECT_EQ(classifyResumeAnswer(1000, 200, ""), ResumeAnswer::Restart);
    EXPECT_EQ(classifyResumeAnswer(1000, 0, ""), ResumeAnswer::Restart);
    EXPECT_EQ(classifyResumeAnswer(1000, 416, ""), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 500, "1000"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "0"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "2000"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "1000x"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "99999999999999999999"), ResumeAnswer::Refuse);
}

}  // namespace
}  // namespace quillharbor
