#include "parser/link_resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/attribute_url.h"

namespace quillharbor {
namespace {

// Each link followed by what it resolves to against the base; "" is a link never followed.
TEST(ResolveLinkTest, LinksAgainstTheirBase) {
    const std::string longChain = [] {
        std::string chain;
        for (int i = 0; i < 100000; ++i) chain += "../";
        return chain + "x";
    }();
    // clang-format off
    const std::pair<std::string_view, std::vector<std::string>> tables[] = {
        {"http://H/a/b/p.html", {
            "x.html", "http://H/a/b/x.html",     "/x.gif", "http://H/x.gif",
            "./", "http://H/a/b/",               "?q=1", "http://H/a/b/p.html?q=1",
            // Dot segments go everywhere but never climb past the root; the query keeps its own.
            "a/./b/..", "http://H/a/b/a/",       "../../x.html", "http://H/x.html",
            "http://O/z/../y/./x", "http://O/y/x", "x?u=/../v", "http://H/a/b/x?u=/../v",
            "../../../x.html", "",               "http://O/../x", "",       longChain, "",
            "x.html#a#b", "http://H/a/b/x.html", "p.html?t=12:00", "http://H/a/b/p.html?t=12:00",
            // Schemes and hosts; names with dots are directories unless they lead the link.
            "http://O", "http://O/",             "//CDN:8080/x.gif", "http://CDN:8080/x.gif",
            "//ftp.h.org/pub/f", "ftp://ftp.h.org/pub/f", "//H?q", "http://H/?q",
            "HOST.DOM/x", "http://HOST.DOM/x",   "ftp.h.org/pub/", "ftp://ftp.h.org/pub/",
            "http://h?q=1", "http://h/?q=1",     "v1.2/a.html", "http://H/a/b/v1.2/a.html",
            "index.php/2019/", "http://H/a/b/index.php/2019/",
            "page.php?next=/home", "http://H/a/b/page.php?next=/home",
            "x.com?u=/y", "http://H/a/b/x.com?u=/y", "https://O", "https://O/",
            // Attribute values as browsers read them: blanks trimmed, references decoded.
            "\t\r\nx.html\n", "http://H/a/b/x.html", "long/\n  x.html", "http://H/a/b/long/%20%20x.html",
            "q?a=1&#38;b=2&#x26;c=3&#X26;d&amp;e", "http://H/a/b/q?a=1&b=2&c=3&d&e",
            "q?a=&lt;&gt;&quot;&apos;", "http://H/a/b/q?a=%3C%3E%22'", "x&#35;top", "http://H/a/b/x",
            "&#xE9;.html", "http://H/a/b/%C3%A9.html",
            "q?a&b=1&copy=2&amp", "http://H/a/b/q?a&b=1&copy=2&amp", "q?&#0;", "http://H/a/b/q?&",
            // Only what may not stand raw is encoded.
            "a%20b c.html", "http://H/a/b/a%20b%20c.html",
            "x\"<>^`{|}.html?q=a b", "http://H/a/b/x%22%3C%3E%5E%60%7B%7C%7D.html?q=a%20b",
            "100%.html?p=%zz", "http://H/a/b/100%25.html?p=%25zz",
            "a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]", "http://H/a/b/a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]",
            "#top", "", " ", "", "mailto:x@h", "", "HTTPS://H/x", "", "a\\b.html", "",
            "a&#92;b", "", "///x", "", "//?q", "", "javascript:go()", ""}},
        {"http://H:81", {"/x.html", "http://H:81/x.html", "../x.html", ""}},
        {"http://H/p.html", {"../x", ""}},
        {"", {"../x", ""}},
        {"http://H/a/b.cgi?p=c/d", {"y.html", "http://H/a/y.html"}},
        {"http://H/api/", {"index.html?com/x.html", "http://H/api/index.html?com/x.html"}},
        {"http://h:81?q=/a/b", {"/x", "http://h:81/x"}},
        {"https://H/a/b/", {"//CDN/x.gif", "https://CDN/x.gif", "../c d.html", "https://H/a/c%20d.html"}},
    };
    // clang-format on
    for (const auto& [base, pairs] : tables) {
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
            std::string link = pairs[i];
            ResolveLink(link, base);
            EXPECT_EQ(link, pairs[i + 1])
                << "\"" << pairs[i].substr(0, 40) << "\" against " << base;
        }
    }
    EXPECT_EQ(UrlFromAttributeValue(" a&amp;b&#0;&#xD800;&#99999999;&#x;"),
              "a&b&#0;&#xD800;&#99999999;&#x;");
}

}  // namespace
}  // namespace quillharbor
