// The links of a document: what the extractor finds in a page and how the rewriter writes them
// for the saved copy.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "parser/document_rewriter.h"
#include "parser/link_extractor.h"

namespace quillharbor {
namespace {

using Links = std::vector<std::string>;

Links extract(std::string_view document, bool raw = false) {
    Links links;
    ExtractLinks(HtmlBuffer(document), links, raw, "http://H/d/p.html");
    return links;
}

// The links of a page, blank-separated, "page " or "req " before each when requisites count.
std::string listed(std::string_view document, bool requisites = false) {
    std::string text;
    if (!requisites) {
        for (const std::string& link : extract(document)) text += link + " ";
        return text;
    }
    std::vector<FoundLink> links;
    ExtractLinksAndRequisites(HtmlBuffer(document), links, "http://H/d/p.html");
    for (const FoundLink& link : links) {
        text += (link.kind == LinkKind::Page ? "page " : "req ") + link.url + " ";
    }
    return text;
}

TEST(ExtractLinksTest, TagsAttributesAndSkippedSections) {
    const struct {
        std::string_view page;
        bool requisites;
        std::string_view links;
    } cases[] = {
        {"<A\nHREF='x.html#top'><area href=1><body background=2><embed src=3><frame src=4>"
         "<iframe src=5><input src=6><table background=7><td background=8><th background=9>"
         "<link href=no><h1 href=no><tr background=no><a href='#top'><a href='mailto:m'><a "
         "href=''>",
         false,
         "http://H/d/x.html http://H/d/1 http://H/d/2 http://H/d/3 http://H/d/4 http://H/d/5 "
         "http://H/d/6 http://H/d/7 http://H/d/8 http://H/d/9 "},
        {"<img lowsrc='b.gif' src='a.gif' dynsrc='c.avi'><a title='a>b' href='x.html'>", false,
         "http://H/d/a.gif http://H/d/b.gif http://H/d/c.avi "},
        {"<script>document.write(\"<a href='w.html'>\")</SCRIPT><script><noscript><a href=n>"
         "</noscript><a href=no></script><!-- <a href='c1.html'> --><!-- x > <a href='c2'> -->"
         "<comment><a href=c3></b></comment><PLAINTEXT><a href=p1></plaintext><a href=p2>",
         false, "http://H/d/n http://H/d/c2 http://H/d/p2 "},
        // A "<" inside a tag ends it wherever the attribute scan stands.
        {"<a <a href=1><a title<a href=2><a href <a href=3><a title <a href=4>", false,
         "http://H/d/1 http://H/d/2 http://H/d/3 http://H/d/4 "},
        {"<a href=before><base href='http://O/z/'><a href='y.html'><base href='../up/'><a href=y>",
         false, "http://H/d/before http://O/z/y.html http://O/up/y "},
        {"<a href=x.html><img src=i.png><script src=s.js></script><iframe src=f.html>"
         "<link rel=stylesheet href=a.css><LINK REL='Shortcut Icon' href=/f.ico>"
         "<link href=p.js rel=modulepreload><link rel=next href=no.html><link href=no2.css>",
         true,
         "page http://H/d/x.html req http://H/d/i.png req http://H/d/s.js page http://H/d/f.html "
         "req http://H/d/a.css req http://H/f.ico req http://H/d/p.js "},
        {"<img srcset='b.png 2x, c.png 3x'><picture><source srcset=d.webp><source src=e.mp4>"
         "</picture><video poster=v.jpg></video><object data=o.svg>",
         true,
         "req http://H/d/b.png req http://H/d/c.png req http://H/d/d.webp req http://H/d/e.mp4 "
         "req http://H/d/v.jpg req http://H/d/o.svg "},
        {"<div style=\"background:url('bg.png#x')\"><p style='color:#fff'><style>@import 'i.css';"
         " a>b{background:url(s.png)} <a href=no.html></style><a href=yes.html><style>a{b:url(c)}",
         true,
         "req http://H/d/bg.png req http://H/d/i.css req http://H/d/s.png page http://H/d/yes.html "
         "req http://H/d/c "},
        {"<script><link rel=stylesheet href=no.css></script><base href='http://O/z/'><img src=a>",
         true, "req http://O/z/a "},
        // Without requisites the walk stays what it was.
        {"<link rel=stylesheet href=a.css><img srcset=b.png><div style='background:url(c.png)'>"
         "<style>a{b:url(d.png)}</style>",
         false, ""},
    };
    for (const auto& [page, requisites, links] : cases) {
        EXPECT_EQ(listed(page, requisites), links) << page;
    }
    EXPECT_EQ(extract("<a href='x.html#top'><base href='http://O/'><a href='../y'>", true),
              (Links{"x.html#top", "../y"}));
    Links css;
    ExtractCssLinks("@import 'b.css'; a{b:url(../i/x.png)} c{d:url(data:image/png;base64,AA)}", css,
                    "http://H/d/s/a.css");
    EXPECT_EQ(css, (Links{"http://H/d/s/b.css", "http://H/d/i/x.png"}));
}

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

}  // namespace
}  // namespace quillharbor
