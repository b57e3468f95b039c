#include "parser/link_extractor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillharbor {
namespace {

using Links = std::vector<std::string>;

Links extract(std::string_view document, bool raw = false,
              std::string_view base = "http://H/d/p.html") {
    Links links;
    ExtractLinks(HtmlBuffer(document), links, raw, base);
    return links;
}

TEST(ExtractLinksTest, TagsAndAttributesOfTheTable) {
    EXPECT_EQ(extract("<A HREF='x.html'>"), Links{"http://H/d/x.html"});
    EXPECT_EQ(extract("<a\nhref=\"x.html\"\n>"), Links{"http://H/d/x.html"});
    EXPECT_EQ(extract("<area href=1><body background=2><embed src=3><frame src=4>"
                      "<iframe src=5><input src=6><table background=7><td background=8>"
                      "<th background=9><link href=no><h1 href=no><tr background=no>"),
              (Links{"http://H/d/1", "http://H/d/2", "http://H/d/3", "http://H/d/4", "http://H/d/5",
                     "http://H/d/6", "http://H/d/7", "http://H/d/8", "http://H/d/9"}));
    EXPECT_EQ(extract("<img src='a.gif' lowsrc='b.gif' dynsrc='c.avi'>"),
              (Links{"http://H/d/a.gif", "http://H/d/b.gif", "http://H/d/c.avi"}));
    EXPECT_EQ(extract("<img lowsrc='b.gif' src='a.gif'>"),
              (Links{"http://H/d/a.gif", "http://H/d/b.gif"}));
    EXPECT_EQ(extract("<a href='x.html#top'><a href='#top'><a href='mailto:m@h'><a href=''>"),
              Links{"http://H/d/x.html"});
    EXPECT_EQ(extract("<a title='a>b' href='x.html'>"), Links{});
}

TEST(ExtractLinksTest, ScriptsCommentsAndSkippedSections) {
    EXPECT_EQ(extract("<script>document.write(\"<a href='w.html'>\")</SCRIPT><a href=after>"),
              Links{"http://H/d/after"});
    EXPECT_EQ(extract("<script><noscript><a href=n></noscript><a href=no></script><a href=y>"),
              (Links{"http://H/d/n", "http://H/d/y"}));
    EXPECT_EQ(extract("<!-- <a href='c1.html'> -->"), Links{});
    EXPECT_EQ(extract("<!-- x > <a href='c2.html'> -->"), Links{"http://H/d/c2.html"});
    EXPECT_EQ(extract("<comment><a href=c3></b></comment><a href=c4>"), Links{"http://H/d/c4"});
    EXPECT_EQ(extract("<PLAINTEXT><a href=p1></plaintext><a href=p2>"), Links{"http://H/d/p2"});
}

TEST(ExtractLinksTest, BaseTagAndRawMode) {
    EXPECT_EQ(extract("<a href=before><base href='http://O/z/'><a href='y.html'>"),
              (Links{"http://H/d/before", "http://O/z/y.html"}));
    EXPECT_EQ(extract("<base href='../up/'><a href=y>"), Links{"http://H/up/y"});
    EXPECT_EQ(extract("<a href='x.html#top'><a href='../y'><a href='mailto:m'>", true),
              (Links{"x.html#top", "../y", "mailto:m"}));
    EXPECT_EQ(extract("<base href='http://O/'><a href=y>", true), Links{"y"});
}

TEST(ExtractLinksTest, DegenerateDocuments) {
    for (std::string_view document :
         {"",        "<",         "<a",         "<a ",
          "<a href", "<a href=",  "<a href='",  "</",
          "<!",      "<!-",       "plain",      "<>",
          "<<<",     ">>>",       "<a href='x", "<img src=a lowsrc='b",
          "<script", "<comment>", "</script",   "<abcdefghijklmnopqrstuvwxyz href=x>"}) {
        EXPECT_LE(extract(document).size(), 2u) << document;
    }
}

TEST(ExtractLinksTest, CutsAtEveryOffsetGiveAPrefixOfTheLinks) {
    const std::string document =
        "<HTML><!-- c --><BODY BACKGROUND=bg.gif><a href=\"one.html\">1</a>\r\n"
        "<script>var s = \"<a href='no.html'>\";</script><A title='t' HREF=two.html>2</A>"
        "<base href='http://O/z/'><img src='i.gif'><a href=\"../x.html#f\">x</a></BODY>";
    const Links full = extract(document);
    // A value cut by the end of the file is taken up to there, never with the sentinel.
    EXPECT_EQ(extract(std::string_view(document).substr(0, document.find("ne.html"))),
              (Links{"http://H/d/bg.gif", "http://H/d/o"}));
    ASSERT_EQ(full, (Links{"http://H/d/bg.gif", "http://H/d/one.html", "http://H/d/two.html",
                           "http://O/z/i.gif", "http://O/x.html"}));
    for (std::size_t cut = 0; cut <= document.size(); ++cut) {
        Links links = extract(std::string_view(document).substr(0, cut));
        // Only the link of the tag that the cut goes through may differ.
        if (!links.empty()) {
            links.pop_back();
        }
        ASSERT_LE(links.size(), full.size()) << cut;
        EXPECT_TRUE(std::equal(links.begin(), links.end(), full.begin())) << cut;
    }
}

TEST(ExtractLinksTest, LongRepetitiveMarkup) {
    // Endless tags, quotes, comments and scripts that never close: every scan must stop at the
    // sentinel and none may revisit the text (a revisiting scanner would not finish here).
    const std::size_t n = 1 << 18;
    for (std::string_view unit : {"<a title='", "<script", "<!", "<img src="}) {
        std::string document;
        while (document.size() < n) {
            document += unit;
        }
        EXPECT_LE(extract(document).size(), n) << unit;
    }
}

std::string withRequisites(std::string_view document) {
    std::vector<FoundLink> links;
    ExtractLinksAndRequisites(HtmlBuffer(document), links, "http://H/d/p.html");
    std::string listed;
    for (const FoundLink& link : links) {
        listed += (link.kind == LinkKind::Page ? "page " : "req ") + link.url + "\n";
    }
    return listed;
}

TEST(ExtractLinksTest, RequisitesOfAPage) {
    const struct {
        std::string_view page;
        std::string_view links;
    } cases[] = {
        {"<a href=x.html><img src=i.png><script src=s.js></script><iframe src=f.html>",
         "page http://H/d/x.html\nreq http://H/d/i.png\nreq http://H/d/s.js\n"
         "page http://H/d/f.html\n"},
        {"<link rel=stylesheet href=a.css><LINK REL='Shortcut Icon' href=/f.ico>"
         "<link href=p.js rel=modulepreload><link rel=preload href=font.woff2>"
         "<link rel=manifest href=m.json><link rel=next href=no.html><link href=no2.css>",
         "req http://H/d/a.css\nreq http://H/f.ico\nreq http://H/d/p.js\n"
         "req http://H/d/font.woff2\nreq http://H/d/m.json\n"},
        {"<img src=a.png srcset='b.png 2x, c.png 3x'><picture><source srcset=d.webp>"
         "<source src=e.mp4></picture><video poster=v.jpg></video><object data=o.svg>"
         "<embed src=e.swf>",
         "req http://H/d/a.png\nreq http://H/d/b.png\nreq http://H/d/c.png\n"
         "req http://H/d/d.webp\nreq http://H/d/e.mp4\nreq http://H/d/v.jpg\n"
         "req http://H/d/o.svg\nreq http://H/d/e.swf\n"},
        {"<div style=\"background:url('bg.png#x')\"><p style='color:#fff'>"
         "<style>@import 'i.css'; a>b{background:url(s.png)} <a href=no.html></style>"
         "<a href=yes.html>",
         "req http://H/d/bg.png\nreq http://H/d/i.css\nreq http://H/d/s.png\n"
         "page http://H/d/yes.html\n"},
        {"<base href='http://O/z/'><link rel=stylesheet href=a.css>", "req http://O/z/a.css\n"},
        {"<style>a{b:url(cut.png)}", "req http://H/d/cut.png\n"},
        {"<script><link rel=stylesheet href=no.css></script>", ""},
    };
    for (const auto& [page, links] : cases) {
        EXPECT_EQ(withRequisites(page), links) << page;
    }
    // Without requisites the walk stays what it was.
    EXPECT_EQ(extract("<link rel=stylesheet href=a.css><img srcset=b.png><div style='"
                      "background:url(c.png)'><style>a{b:url(d.png)}</style>"),
              Links{});
}

TEST(ExtractLinksTest, StyleSheetReferences) {
    Links links;
    ExtractCssLinks("@import 'b.css'; a{b:url(../i/x.png)} c{d:url(data:image/png;base64,AA)}",
                    links, "http://H/d/s/a.css");
    EXPECT_EQ(links, (Links{"http://H/d/s/b.css", "http://H/d/i/x.png"}));
}

}  // namespace
}  // namespace quillharbor
