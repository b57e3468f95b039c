#include <gtest/gtest.h>

#include <string>

#include "clients/http_local_name.h"
#include "clients/http_resume.h"

namespace quillharbor {
namespace {

TEST(HttpLocalNames, ServerNamesStayPlainFileNamesOfBoundedLength) {
    EXPECT_EQ(DocumentName("http://h/a/.."), "index.html");
    EXPECT_EQ(DocumentName("http://h/a/."), "index.html");
    EXPECT_EQ(DocumentName("http://h/a\\..\\b"), "b");
    const std::string stem(400, 'n');
    EXPECT_EQ(DocumentName("http://h/" + stem + ".tar"), std::string(196, 'n') + ".tar");
    EXPECT_EQ(DocumentName("http://h/a." + stem), "a." + std::string(198, 'n'));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing.HTM"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing"));
}

TEST(HttpLocalNames, OnlyAnHtmlStartingDocumentTakesTheStartingDocumentName) {
    EXPECT_TRUE(TakesStartDocName("text/html; charset=utf-8", "http://h/pics/py.png"));
    EXPECT_TRUE(TakesStartDocName("TEXT/HTML", "http://h/a"));
    EXPECT_FALSE(TakesStartDocName("image/png", "http://h/pics/py.png"));
    EXPECT_FALSE(TakesStartDocName("image/png", "http://h/index.html"));
    EXPECT_TRUE(TakesStartDocName("", "http://h/a/"));
    EXPECT_TRUE(TakesStartDocName("", "http://h/a/p.SHTML"));
    EXPECT_FALSE(TakesStartDocName("", "http://h/pics/py.png"));
    EXPECT_FALSE(TakesStartDocName("", "http://h/notes"));
}

TEST(HttpResume, OnlyARangeFromTheEndOfThePartialFileIsAppended) {
    EXPECT_EQ(classifyResumeAnswer(2500000000, 206, "2500000000"), ResumeAnswer::Append);
    EXPECT_EQ(classifyResumeAnswer(1000, 0, ""), ResumeAnswer::Restart);
    EXPECT_EQ(classifyResumeAnswer(1000, 500, "1000"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "0"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "2000"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "1000x"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "99999999999999999999"), ResumeAnswer::Refuse);
}

}  // namespace
}  // namespace quillharbor
