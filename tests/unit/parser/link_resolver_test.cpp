#include "parser/link_resolver.h"

#include <gtest/gtest.h>

#include <string>

namespace quillharbor {
namespace {

std::string resolve(std::string link, std::string_view base = "http://H/a/b/p.html") {
    ResolveLink(link, base);
    return link;
}

TEST(ResolveLinkTest, RelativePathsAgainstTheDocument) {
    EXPECT_EQ(resolve("x.html"), "http://H/a/b/x.html");
    EXPECT_EQ(resolve("/x.gif"), "http://H/x.gif");
    EXPECT_EQ(resolve("./x.html"), "http://H/a/b/x.html");
    EXPECT_EQ(resolve("./"), "http://H/a/b/");
    EXPECT_EQ(resolve("/x", "http://H:8080/a/p.html"), "http://H:8080/x");
    EXPECT_EQ(resolve("a/../b"), "http://H/a/b/a/../b");  // no normalisation
    EXPECT_EQ(resolve("?q=1"), "http://H/a/b/?q=1");
}

TEST(ResolveLinkTest, ClimbingStopsAtTheHost) {
    EXPECT_EQ(resolve("../x.html"), "http://H/a/x.html");
    EXPECT_EQ(resolve("../../x.html"), "http://H/x.html");
    EXPECT_EQ(resolve("../../../x.html"), "");
    EXPECT_EQ(resolve("../x", "http://H/p.html"), "");
    EXPECT_EQ(resolve("../x", ""), "");
    std::string longChain;
    for (int i = 0; i < 100000; ++i) {
        longChain += "../";
    }
    EXPECT_EQ(resolve(longChain + "x"), "");
}

TEST(ResolveLinkTest, SchemesAndHosts) {
    EXPECT_EQ(resolve("http://O/z"), "http://O/z");
    EXPECT_EQ(resolve("http://O"), "http://O/");
    EXPECT_EQ(resolve("//CDN/x.gif"), "http://CDN/x.gif");
    EXPECT_EQ(resolve("//ftp.h.org/pub/f"), "ftp://ftp.h.org/pub/f");
    EXPECT_EQ(resolve("//CDN:8080/x.gif"), "http://CDN:8080/x.gif");
    EXPECT_EQ(resolve("HOST.DOM/x"), "http://HOST.DOM/x");
}

TEST(ResolveLinkTest, UnfollowableLinksBecomeEmpty) {
    EXPECT_EQ(resolve("#top"), "");
    EXPECT_EQ(resolve("mailto:x@h"), "");
    EXPECT_EQ(resolve("HTTP://H/x"), "");
    EXPECT_EQ(resolve("https://H/x"), "");
    EXPECT_EQ(resolve("a\\b.html"), "");
    EXPECT_EQ(resolve("x.html#a#b"), "http://H/a/b/x.html#a");  // only the last fragment goes
}

TEST(ResolveLinkTest, HostOnlyBaseIsTheRoot) {
    EXPECT_EQ(resolve("x.html", "http://H"), "http://H/x.html");
    EXPECT_EQ(resolve("/x.html", "http://H:81"), "http://H:81/x.html");
    EXPECT_EQ(resolve("../x.html", "http://H"), "");
}

}  // namespace
}  // namespace quillharbor
