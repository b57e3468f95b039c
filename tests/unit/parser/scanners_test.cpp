// The reference scanner of style sheets and the robots.txt rules.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/css_scanner.h"
#include "parser/robots_rules.h"

namespace quillharbor {
namespace {

TEST(CssScannerTest, ReferencesAndSrcsetCandidates) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a{background:URL( 'b c.png' )} b{c:url(\"q.png\") url( u.png )}", "b c.png q.png u.png "},
        {"@import 'a.css';@IMPORT \"b.css\" screen;@import /* why */ url(c.css) print;",
         "a.css b.css c.css "},
        {"/* url(no.png) */ a{b:url(yes.png)} /* open url(no2.png)", "yes.png "},
        {"a{content:'url(no.png)'} b{content:\"x\\\" url(no2.png)\"} c{b:myurl(no.png)}", ""},
        {"a{b:url(bad\"quote.png) c:url(bad(paren.png) c:url(x y.png) d:url() e:url('')}", ""},
        {"a{b:url(a\\(1\\).png) c:url('\\41 b.png') d:url(\\62 c.png) e:url('s\\\nplit.png')}",
         "a(1).png Ab.png bc.png split.png "},
        {"a{b:url(cut.png", ""},
        {"@importx 'no.css'; @import 'cut.css", "cut.css "},
    };
    for (const auto& [css, urls] : cases) {
        std::string found;
        for (const CssReference& reference : FindCssReferences(css)) found += reference.url + " ";
        EXPECT_EQ(found, urls) << css;
    }

    const std::pair<std::string_view, std::string_view> srcsets[] = {
        {" a.png 1x, b.png 2x ", "a.png b.png "},
        {"a.png 480w,b.png 800w", "a.png b.png "},
        {"a.png,b.png", "a.png,b.png "},
        {"a.png, ,b.png,", "a.png b.png "},
    };
    for (const auto& [value, urls] : srcsets) {
        std::string found;
        for (const auto& [begin, end] : SrcsetUrlRanges(value)) {
            found += std::string(value.substr(begin, end - begin)) + " ";
        }
        EXPECT_EQ(found, urls) << value;
    }
}

TEST(RobotsRulesTest, LinesKeywordsAndRecordsForEveryAgent) {
    const std::string_view text = "a\r\nb\nc\rd\n\r\ne";
    std::vector<std::string_view> lines;
    std::size_t position = 0;
    while (position < text.size()) lines.push_back(ReadLine(text, position));
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(ReadLine(text, ++position), "");
    EXPECT_EQ(position, text.size());
    EXPECT_TRUE(KeywordAt("User-Agent: *", "user-agent"));
    EXPECT_FALSE(KeywordAt("Disallo", "disallow"));

    // Only records for every agent count; a further agent line inside one is ignored; a value
    // naming another host is dropped, so that one site cannot restrict another.
    const std::pair<std::string_view, DisallowList> cases[] = {
        {"User-agent: Scooter\nDisallow: /s\n\nuseragent:*\nUser-agent: Other\nDISALLOW:/a\n"
         "Disallow: /a#frag\n\nUser-agent: Other\nDisallow: /o\n",
         {"http://H/a"}},
        {"# robots\nUser-agent: * # all\n# comment\nDisallow: /c # why\nDisallow:\nDisallow\n"
         "  Disallow: /indented\n",
         {"http://H/c"}},
        {"User-agent: *bot\nDisallow: /x\n", {}},
        {"User-agent: *\nDisallow: http://V/\nDisallow: //V/x\nDisallow: V.com/x\n"
         "Disallow: http://H.evil/\nDisallow: http://H/ok\n",
         {"http://H/ok"}},
    };
    for (const auto& [body, disallowed] : cases) {
        DisallowList disallow;
        ParseRobotsTxt(body, disallow, "http://H/robots.txt");
        EXPECT_EQ(disallow, disallowed) << body;
    }
}

TEST(RobotsRulesTest, ExcludedByAnyPrefixAcrossHosts) {
    DisallowList disallow;
    ParseRobotsTxt("User-agent: *\nDisallow: /cgi-bin/\n", disallow, "http://H/robots.txt");
    ParseRobotsTxt("User-agent: *\nDisallow: /\n", disallow, "http://W:8080/robots.txt");
    EXPECT_EQ(disallow, (DisallowList{"http://H/cgi-bin/", "http://W:8080/"}));
    EXPECT_TRUE(IsExcluded("http://W:8080/anything", disallow));
    EXPECT_FALSE(IsExcluded("http://H/CGI-BIN/x", disallow));
    // Entries that sort between a matching prefix and the URL are what the search must see past.
    disallow = {"a", "ab/", "aba", "abb/a", "b/", "b/a", "b/ab", "bb", "bba/"};
    std::vector<std::string> urls{""};
    for (std::size_t i = 0; i < urls.size() && urls[i].size() < 5; ++i) {
        for (char c : std::string_view("ab/")) urls.push_back(urls[i] + c);
    }
    for (const std::string& url : urls) {
        bool expected = false;
        for (const std::string& entry : disallow) expected = expected || url.starts_with(entry);
        EXPECT_EQ(IsExcluded(url, disallow), expected) << url;
    }
}

}  // namespace
}  // namespace quillharbor
