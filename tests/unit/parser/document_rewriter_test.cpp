#include "parser/document_rewriter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillharbor {
namespace {

using LocalNames = std::map<std::string, std::string, std::less<>>;

LocalNameLookup namesFrom(const LocalNames& names) {
    return [&names](std::string_view url) {
        const auto found = names.find(url);
        return found == names.end() ? std::string_view() : std::string_view(found->second);
    };
}

// Saved links become local names, others absolute URLs; links that cannot be followed stay as
// written. The base keeps resolving the links after it but loses its href, so that a browser
// opens the local names beside the page. Written links cannot break out of their attribute.
TEST(RewriteDocumentTest, LinksBecomeLocalNamesOrAbsoluteUrls) {
    const LocalNames names = {{"http://H/d/sub/b.html", "b.html"},
                              {"http://H/d/a.gif", "A.gif"},
                              {"http://H/d/b.gif", "b-1.gif"},
                              {"http://H/d/1", "a b%20c#?.html"},
                              {"http://H/d/2", "x\"<>.html"}};
    const struct {
        std::string_view page, rewritten;
        bool alreadyRewritten = false;
        std::string_view base = "http://H/d/p.html";
    } cases[] = {
        {"<A HREF = sub/b.html#part title=t><a href=\"other.html\">",
         "<A HREF = b.html#part title=t><a href=\"http://H/d/other.html\">"},
        // lowsrc takes "src=a.gif" as its value, src takes "a.gif" inside it: spliced once.
        {"<img lowsrc='b.gif' src=a.gif><img lowsrc src=a.gif>",
         "<img lowsrc='b-1.gif' src=A.gif><img lowsrc http://H/d/src=a.gif>"},
        {"<base href='http://O/z/'><a href='sub/b.html'>",
         "<base><a href='http://O/z/sub/b.html'>"},
        {"<BASE target=_top HREF = \"../d/\"><a href=sub/b.html>",
         "<BASE target=_top><a href=b.html>"},
        {"<base href='http://H/d/#f' id=b><base href='http://H/d/", "<base id=b><base"},
        {"<link rel=stylesheet href='a.gif'><link rel=stylesheet href='s.css'>",
         "<link rel=stylesheet href='A.gif'><link rel=stylesheet href='http://H/d/s.css'>"},
        {"<img srcset='a.gif 1x, b.gif#i 2x,x.gif 3x'><p style=\"background:url( 'a.gif' )\">",
         "<img srcset='A.gif 1x, b-1.gif#i 2x,http://H/d/x.gif 3x'>"
         "<p style=\"background:url( 'A.gif' )\">"},
        {"<style>@import 'sub/b.html'; a>b{c:url(x y.gif)} a{b:url('n(1).gif')} "
         "c{d:url(n\\(2\\).gif)}</style>",
         "<style>@import 'b.html'; a>b{c:url(x y.gif)} a{b:url('http://H/d/n%281%29.gif')} "
         "c{d:url(http://H/d/n%282%29.gif)}</style>"},
        {"<a href='1'><a href=2>", "<a href='a%20b%2520c%23%3F.html'><a href=x%22%3C%3E.html>"},
        {"<a href='x.html'><a href=y>",
         "<a href='http://h/it%27s%20a/x.html'><a href=http://h/it%27s%20a/y>", false,
         "http://h/it's a/p"},
        // A rewritten page keeps its local names: resolving them again would make them URLs.
        {"<a href='b.html'><a href='http://H/d/sub/b.html#p'><a href=\"http://H/d/new.html\">",
         "<a href='b.html'><a href='b.html#p'><a href=\"http://H/d/new.html\">", true},
        {"<a href='b.html'>", "<a href='http://H/d/b.html'>"},
        {"<a href='mailto:m@h'><a href='#top'><a href=''><a href='../../../x.html'>"
         "<script>document.write(\"<a href='sub/b.html'>\")</script><!-- <a href='sub/b.html'> -->"
         "<a title='a>b' href='sub/b.html'>",
         ""},
    };
    for (const auto& c : cases) {
        const std::string_view expected = c.rewritten.empty() ? c.page : c.rewritten;
        EXPECT_EQ(RewriteDocument(HtmlBuffer(c.page), c.base, c.alreadyRewritten, namesFrom(names)),
                  expected);
    }
    const std::string_view css = "@import url(sub/b.html);a{b:url('a.gif')}c{d:url(no.gif)}";
    EXPECT_EQ(
        SpliceLinks(css, FindRewritableCssLinks(css, "http://H/d/s.css", false), namesFrom(names)),
        "@import url(b.html);a{b:url('A.gif')}c{d:url(http://H/d/no.gif)}");
}

// In the site's layout local names are paths under the task directory, and each link is
// written relative to the page's own file.
TEST(RewriteDocumentTest, SiteLayoutWritesRelativePaths) {
    const LocalNames site = {{"http://H/index.html", "H/index.html"},
                             {"http://O/x.png", "O/x.png"}};
    EXPECT_EQ(RewriteDocument(HtmlBuffer("<a href='../index.html#top'><img src='http://O/x.png'>"
                                         "<a href=n.html>"),
                              "http://H/lib/os.html", false, namesFrom(site), "H/lib/os.html"),
              "<a href='../index.html#top'><img src='../../O/x.png'><a href=http://H/lib/n.html>");
    EXPECT_EQ(RelativeLocalPath("h/a/b.html", "h/a/c/d.html"), "c/d.html");
    EXPECT_EQ(RelativeLocalPath("h/ab/x.html", "h/a/y.html"), "../a/y.html");
}

}  // namespace
}  // namespace quillharbor
