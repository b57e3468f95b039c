#include "parser/link_resolver.h"

#include <gtest/gtest.h>

#include <string>

#include "parser/attribute_url.h"

namespace quillharbor {
namespace {

constexpr std::string_view kPage = "http://H/a/b/p.html";

struct Resolution {
    std::string_view link;
    std::string_view base;
    std::string_view expected;
};

void expectResolutions(std::initializer_list<Resolution> cases) {
    for (const Resolution& c : cases) {
        std::string link(c.link);
        ResolveLink(link, c.base);
        EXPECT_EQ(link, c.expected) << "link \"" << c.link << "\" against " << c.base;
    }
}

TEST(ResolveLinkTest, RelativePathsAgainstTheDocument) {
    expectResolutions({
        {"x.html", kPage, "http://H/a/b/x.html"},
        {"/x.gif", kPage, "http://H/x.gif"},
        {"./x.html", kPage, "http://H/a/b/x.html"},
        {"./", kPage, "http://H/a/b/"},
        {"/x", "http://H:8080/a/p.html", "http://H:8080/x"},
        {"?q=1", kPage, "http://H/a/b/p.html?q=1"},
        {"x.html", "http://H", "http://H/x.html"},
        {"/x.html", "http://H:81", "http://H:81/x.html"},
    });
}

TEST(ResolveLinkTest, DotSegmentsGoEverywhereAndNeverClimbPastTheRoot) {
    expectResolutions({
        {"./../b/q.html", "http://H/a/p.html", "http://H/b/q.html"},
        {"../a/p.html", "http://H/b/q.html", "http://H/a/p.html"},
        {"a/../b", kPage, "http://H/a/b/b"},
        {"a/./b/..", kPage, "http://H/a/b/a/"},
        {"../x.html", kPage, "http://H/a/x.html"},
        {"../../x.html", kPage, "http://H/x.html"},
        {"http://O/z/../y/./x", kPage, "http://O/y/x"},
        {"x?u=/../v", kPage, "http://H/a/b/x?u=/../v"},  // the query keeps its dots
        {"../../../x.html", kPage, ""},
        {"../x", "http://H/p.html", ""},
        {"../x.html", "http://H", ""},
        {"http://O/../x", kPage, ""},
        {"../x", "", ""},
    });
    std::string longChain;
    for (int i = 0; i < 100000; ++i) {
        longChain += "../";
    }
    expectResolutions({{longChain + "x", kPage, ""}});
}

TEST(ResolveLinkTest, QueriesAndFragmentsEndThePath) {
    expectResolutions({
        {"y.html", "http://H/a/b.cgi?p=c/d", "http://H/a/y.html"},
        {"overview-frame.html", "http://H/api/index.html?com/x/overview.html",
         "http://H/api/overview-frame.html"},
        {"index.html?com/x/overview.html", "http://H/api/",
         "http://H/api/index.html?com/x/overview.html"},
        {"x.html", "http://h?q=1", "http://h/x.html"},
        {"/x", "http://h:81?q=/a/b", "http://h:81/x"},
        {"http://h?q=1", kPage, "http://h/?q=1"},
        {"p.html?t=12:00", kPage, "http://H/a/b/p.html?t=12:00"},
        {"x.html#top", kPage, "http://H/a/b/x.html"},
        {"x.html#a#b", kPage, "http://H/a/b/x.html"},
    });
}

TEST(ResolveLinkTest, SchemesAndHosts) {
    expectResolutions({
        {"http://O/z", kPage, "http://O/z"},
        {"http://O", kPage, "http://O/"},
        {"//CDN/x.gif", kPage, "http://CDN/x.gif"},
        {"//ftp.h.org/pub/f", kPage, "ftp://ftp.h.org/pub/f"},
        {"//CDN:8080/x.gif", kPage, "http://CDN:8080/x.gif"},
        {"//H", kPage, "http://H/"},
        {"//H?q", kPage, "http://H/?q"},
        {"HOST.DOM/x", kPage, "http://HOST.DOM/x"},
        {"www.example.com/x", kPage, "http://www.example.com/x"},
        {"ftp.h.org/pub/", kPage, "ftp://ftp.h.org/pub/"},
        // Directories with dots, not hosts.
        {"v1.2/a.html", kPage, "http://H/a/b/v1.2/a.html"},
        {"jquery-3.1/x.js", kPage, "http://H/a/b/jquery-3.1/x.js"},
        {"index.php/2019/", kPage, "http://H/a/b/index.php/2019/"},
        {"page.php?next=/home", kPage, "http://H/a/b/page.php?next=/home"},
        {"Main.HTML/x", kPage, "http://H/a/b/Main.HTML/x"},
        {"x.com?u=/y", kPage, "http://H/a/b/x.com?u=/y"},
        {"https://O/a/../z", kPage, "https://O/z"},
        {"https://O", kPage, "https://O/"},
        {"//CDN/x.gif", "https://H/a/", "https://CDN/x.gif"},
        {"../c d.html", "https://H/a/b/", "https://H/a/c%20d.html"},
    });
}

TEST(ResolveLinkTest, UnfollowableLinksBecomeEmpty) {
    for (const std::string_view link :
         {"#top", "", " ", "mailto:x@h", "HTTP://H/x", "HTTPS://H/x", "a\\b.html", "a&#92;b", "//",
          "///x", "//?q", "javascript:go()"}) {
        expectResolutions({{link, kPage, ""}});
    }
}

TEST(ResolveLinkTest, AttributeValuesAsBrowsersReadThem) {
    expectResolutions({
        {" x.html ", kPage, "http://H/a/b/x.html"},
        {"\t\r\nx.html\n", kPage, "http://H/a/b/x.html"},
        {"long/\n  x.html", kPage, "http://H/a/b/long/%20%20x.html"},
        {"q.html?a=1&amp;b=2", kPage, "http://H/a/b/q.html?a=1&b=2"},
        {"q.html?a=1&#38;b=2&#x26;c=3&#X26;d", kPage, "http://H/a/b/q.html?a=1&b=2&c=3&d"},
        {"q?a=&lt;&gt;&quot;&apos;", kPage, "http://H/a/b/q?a=%3C%3E%22'"},
        {"x&#35;top", kPage, "http://H/a/b/x"},
        {"&#xE9;.html", kPage, "http://H/a/b/%C3%A9.html"},
        // Not references: kept as written.
        {"q?a&b=1&copy=2&amp", kPage, "http://H/a/b/q?a&b=1&copy=2&amp"},
        {"q?&#0;", kPage, "http://H/a/b/q?&"},  // its "#" begins the fragment
    });
    EXPECT_EQ(UrlFromAttributeValue(" a&amp;b&#0;&#xD800;&#99999999;&#x;"),
              "a&b&#0;&#xD800;&#99999999;&#x;");
}

TEST(ResolveLinkTest, OnlyWhatMayNotStandRawIsEncoded) {
    expectResolutions({
        {"a b.html", kPage, "http://H/a/b/a%20b.html"},
        {"a%20b.html", kPage, "http://H/a/b/a%20b.html"},
        {"\xc3\xa9t\xc3\xa9.html", kPage, "http://H/a/b/%C3%A9t%C3%A9.html"},
        {"x\"<>^`{|}.html?q=a b", kPage, "http://H/a/b/x%22%3C%3E%5E%60%7B%7C%7D.html?q=a%20b"},
        {"100%.html?p=%zz", kPage, "http://H/a/b/100%25.html?p=%25zz"},
        {"a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]", kPage,
         "http://H/a/b/a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]"},
    });
}

}  // namespace
}  // namespace quillharbor
