#include "parser/link_extractor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A cut document gives a prefix of the links (the cut tag's own may differ, never with the
// sentinel in it); endless unclosed markup must stop at the sentinel without revisiting text.
TEST(ExtractLinksTest, CutAndDegenerateDocuments) {
    const std::string document =
        "<HTML><!-- c --><BODY BACKGROUND=bg.gif><a href=\"one.html\">1</a>\r\n"
        "<script>var s = \"<a href='no.html'>\";</script><A title='t' HREF=two.html>2</A>"
        "<base href='http://O/z/'><img src='i.gif'><a href=\"../x.html#f\">x</a></BODY>";
    const Links full = extract(document);
    EXPECT_EQ(extract(std::string_view(document).substr(0, document.find("ne.html"))),
              (Links{"http://H/d/bg.gif", "http://H/d/o"}));
    ASSERT_EQ(full, (Links{"http://H/d/bg.gif", "http://H/d/one.html", "http://H/d/two.html",
                           "http://O/z/i.gif", "http://O/x.html"}));
    for (std::size_t cut = 0; cut <= document.size(); ++cut) {
        Links links = extract(std::string_view(document).substr(0, cut));
        if (!links.empty())
            links.pop_back();
        ASSERT_LE(links.size(), full.size()) << cut;
        EXPECT_TRUE(std::equal(links.begin(), links.end(), full.begin())) << cut;
    }
    for (std::string_view unit : {"<a title='", "<script", "<!", "<img src=", "<comment>", "</"}) {
        std::string endless;
        while (endless.size() < (1 << 18)) endless += unit;
        EXPECT_LE(extract(endless).size(), endless.size()) << unit;
    }
}

}  // namespace
}  // namespace quillharbor
