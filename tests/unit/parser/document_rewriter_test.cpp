#include "parser/document_rewriter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillharbor {
namespace {

using LocalNames = std::map<std::string, std::string, std::less<>>;

const LocalNames kRetrieved = {{"http://H/d/sub/b.html", "b.html"},
                               {"http://H/d/sub/c.html", "c.html"},
                               {"http://H/d/a.gif", "A.gif"},
                               {"http://H/d/b.gif", "b-1.gif"}};

LocalNameLookup namesFrom(const LocalNames& names) {
    return [&names](std::string_view url) {
        const auto found = names.find(url);
        return found == names.end() ? std::string_view() : std::string_view(found->second);
    };
}

std::string rewrite(std::string_view page, bool alreadyRewritten = false,
                    const LocalNames& names = kRetrieved,
                    std::string_view base = "http://H/d/p.html") {
    return RewriteDocument(HtmlBuffer(page), base, alreadyRewritten, namesFrom(names));
}

// Saved links become local names, others absolute URLs; links that cannot be followed stay as
// written. The base keeps resolving the links after it but loses its href, so that a browser
// opens the local names beside the page. Requisites not saved get their absolute URL, so that a
// copy without its style sheets still shows them online.
TEST(RewriteDocumentTest, LinksBecomeLocalNamesOrAbsoluteUrls) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"<p><a href='sub/b.html'>b</a>", "<p><a href='b.html'>b</a>"},
        {"<a href=\"other.html\">", "<a href=\"http://H/d/other.html\">"},
        {"<a href='sub/c.html#part'>", "<a href='c.html#part'>"},
        {"<a href=sub/c.html#part>", "<a href=c.html#part>"},
        {"<A HREF = sub/b.html title=t>", "<A HREF = b.html title=t>"},
        {"<img lowsrc='b.gif' src=a.gif>", "<img lowsrc='b-1.gif' src=A.gif>"},
        // lowsrc takes "src=a.gif" as its value, src takes "a.gif" inside it: spliced once.
        {"<img lowsrc src=a.gif>", "<img lowsrc http://H/d/src=a.gif>"},
        {"<base href='http://O/z/'><a href='sub/b.html'>",
         "<base><a href='http://O/z/sub/b.html'>"},
        {"<BASE target=_top HREF = \"../d/\"><a href=sub/b.html>",
         "<BASE target=_top><a href=b.html>"},
        {"<base href=http://H/d/ target=t><a href=a.gif>", "<base target=t><a href=A.gif>"},
        {"<base href='http://H/d/#f' id=b>", "<base id=b>"},
        {"<base href='http://H/d/", "<base"},
        {"<link rel=stylesheet href='a.gif'><link rel=stylesheet href='s.css'>",
         "<link rel=stylesheet href='A.gif'><link rel=stylesheet href='http://H/d/s.css'>"},
        {"<img srcset='a.gif 1x, b.gif#i 2x,x.gif 3x'>",
         "<img srcset='A.gif 1x, b-1.gif#i 2x,http://H/d/x.gif 3x'>"},
        {"<p style=\"color:#fff;background:url( 'a.gif' )\">",
         "<p style=\"color:#fff;background:url( 'A.gif' )\">"},
        {"<style>@import 'sub/b.html'; a>b{c:url(x y.gif)} d{e:url(b.gif#f)}</style>",
         "<style>@import 'b.html'; a>b{c:url(x y.gif)} d{e:url(b-1.gif#f)}</style>"},
        {"<style>a{b:url('n(1).gif')} c{d:url(n\\(2\\).gif)}</style>",
         "<style>a{b:url('http://H/d/n%281%29.gif')} c{d:url(http://H/d/n%282%29.gif)}</style>"}};
    for (const auto& [page, rewritten] : cases) {
        EXPECT_EQ(rewrite(page), rewritten) << page;
    }
    for (std::string_view page : {
             "<a href='mailto:m@h'><a href=\"javascript:go()\"><a href='news:x'>",
             "<a href='#top'><a href=''><a href='../../../x.html'><a href='a\\b.html'>",
             "<script>document.write(\"<a href='sub/b.html'>\")</script>",
             "<!-- <a href='sub/b.html'> --><comment><a href=x></comment>",
             "<a title='a>b' href='sub/b.html'>",
         }) {
        EXPECT_EQ(rewrite(page), page);
    }
}

TEST(RewriteDocumentTest, RewrittenPagesKeepTheirLocalNames) {
    const std::string_view page =
        "<a href='b.html'><a href='http://H/d/sub/c.html#p'><a href=\"http://H/d/new.html\">";
    EXPECT_EQ(rewrite(page, true),
              "<a href='b.html'><a href='c.html#p'><a href=\"http://H/d/new.html\">");
    // Resolving it again would turn the local name into a URL of the site.
    EXPECT_EQ(rewrite("<a href='b.html'>"), "<a href='http://H/d/b.html'>");
}

TEST(RewriteDocumentTest, WrittenLinksCannotBreakOutOfTheirAttribute) {
    const LocalNames names = {{"http://H/d/1", "a b%20c#?.html"}, {"http://H/d/2", "x\"<>.html"}};
    EXPECT_EQ(rewrite("<a href='1'><a href=2>", false, names),
              "<a href='a%20b%2520c%23%3F.html'><a href=x%22%3C%3E.html>");
    EXPECT_EQ(rewrite("<a href='x.html'><a href=y>", false, {}, "http://h/it's a/p"),
              "<a href='http://h/it%27s%20a/x.html'><a href=http://h/it%27s%20a/y>");
}

// In the site's layout local names are paths under the task directory, and each link is
// written relative to the page's own file.
TEST(RewriteDocumentTest, SiteLayoutWritesRelativePaths) {
    const LocalNames site = {{"http://H/index.html", "H/index.html"},
                             {"http://H/lib/os.html", "H/lib/os.html"},
                             {"http://O/x.png", "O/x.png"}};
    EXPECT_EQ(RewriteDocument(HtmlBuffer("<a href='../index.html#top'><img src='http://O/x.png'>"
                                         "<a href=n.html>"),
                              "http://H/lib/os.html", false, namesFrom(site), "H/lib/os.html"),
              "<a href='../index.html#top'><img src='../../O/x.png'><a href=http://H/lib/n.html>");
    const struct {
        std::string_view from, to, path;
    } paths[] = {{"a.html", "b.html", "b.html"},
                 {"h/index.html", "lib/os.html", "../lib/os.html"},
                 {"h/a/b.html", "h/a/c/d.html", "c/d.html"},
                 {"h/ab/x.html", "h/a/y.html", "../a/y.html"}};
    for (const auto& [from, to, path] : paths) {
        EXPECT_EQ(RelativeLocalPath(from, to), path) << from << " " << to;
    }
}

TEST(RewriteDocumentTest, StyleSheets) {
    const std::string_view css = "@import url(sub/b.html);a{b:url('a.gif')}c{d:url(no.gif)}";
    EXPECT_EQ(SpliceLinks(css, FindRewritableCssLinks(css, "http://H/d/s.css", false),
                          namesFrom(kRetrieved)),
              "@import url(b.html);a{b:url('A.gif')}c{d:url(http://H/d/no.gif)}");
}

}  // namespace
}  // namespace quillharbor
