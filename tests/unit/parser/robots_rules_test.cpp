#include "parser/robots_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillharbor {
namespace {

DisallowList parse(std::string_view body, std::string_view robotsUrl = "http://H/robots.txt") {
    DisallowList disallow;
    ParseRobotsTxt(body, disallow, robotsUrl);
    return disallow;
}

TEST(ReadLineTest, EveryLineEnding) {
    const std::string_view text = "a\r\nb\nc\rd\n\r\ne";
    std::vector<std::string_view> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        lines.push_back(ReadLine(text, position));
    }
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(position, text.size());
    EXPECT_EQ(ReadLine(text, position), "");
    EXPECT_EQ(position, text.size());
    position = 0;
    EXPECT_EQ(ReadLine("x\r", position), "x");
    EXPECT_EQ(position, 2u);
}

TEST(KeywordAtTest, LettersInEitherCase) {
    EXPECT_TRUE(KeywordAt("DISALLOW:/x", "disallow"));
    EXPECT_TRUE(KeywordAt("User-Agent: *", "user-agent"));
    EXPECT_FALSE(KeywordAt("Disallo", "disallow"));
    EXPECT_FALSE(KeywordAt(" Disallow: /x", "disallow"));
}

TEST(ParseRobotsTxtTest, OnlyRecordsForEveryAgentCount) {
    EXPECT_EQ(parse("User-agent: *\r\nDisallow: /cgi-bin/\r\nDisallow: /private.html\r\n"),
              (DisallowList{"http://H/cgi-bin/", "http://H/private.html"}));
    EXPECT_EQ(parse("User-agent: Scooter\nDisallow: /s\n\nUser-agent: *\nDisallow: /a\n"),
              DisallowList{"http://H/a"});
    EXPECT_EQ(parse("User-agent: *\nDisallow: /a\n\nUser-agent: Other\nDisallow: /o\n"),
              DisallowList{"http://H/a"});
    // A further agent line inside the record is ignored, the record goes on.
    EXPECT_EQ(parse("User-agent: *\nUser-agent: Other\nDisallow: /both\n"),
              DisallowList{"http://H/both"});
    EXPECT_EQ(parse("User-agent: *bot\nDisallow: /x\n"), DisallowList{});
}

TEST(ParseRobotsTxtTest, LineShapes) {
    EXPECT_EQ(parse("useragent:*\nDISALLOW:/x\n"), DisallowList{"http://H/x"});
    EXPECT_EQ(parse("# robots\nUser-agent: * # all\n# comment inside\nDisallow: /c # why\n"),
              DisallowList{"http://H/c"});
    EXPECT_EQ(parse("User-agent: *\nDisallow:\nDisallow: \t\nDisallow\n"), DisallowList{});
    EXPECT_EQ(parse("User-agent: *\n  Disallow: /indented\n"), DisallowList{});
    EXPECT_EQ(parse("User-agent: *\nDisallow: /\n", "http://H:8080/robots.txt"),
              DisallowList{"http://H:8080/"});
    EXPECT_EQ(parse("User-agent: *\nDisallow: /a#frag\nDisallow: /a\n"),
              DisallowList{"http://H/a"});
}

TEST(ParseRobotsTxtTest, OtherHostsCannotBeRestricted) {
    EXPECT_EQ(parse("User-agent: *\nDisallow: http://V/\nDisallow: //V/x\nDisallow: V.com/x\n"
                    "Disallow: http://H.evil/\nDisallow: http://H/ok\n"),
              DisallowList{"http://H/ok"});
}

TEST(IsExcludedTest, PrefixesAcrossHosts) {
    DisallowList disallow;
    ParseRobotsTxt("User-agent: *\nDisallow: /cgi-bin/\nDisallow: /private.html\n", disallow,
                   "http://H/robots.txt");
    ParseRobotsTxt("User-agent: *\nDisallow: /\n", disallow, "http://W/robots.txt");
    EXPECT_TRUE(IsExcluded("http://H/cgi-bin/run?x", disallow));
    EXPECT_TRUE(IsExcluded("http://H/private.html", disallow));
    EXPECT_TRUE(IsExcluded("http://W/anything", disallow));
    EXPECT_FALSE(IsExcluded("http://H/cgi-bin", disallow));
    EXPECT_FALSE(IsExcluded("http://H/index.html", disallow));
    EXPECT_FALSE(IsExcluded("http://H/CGI-BIN/x", disallow));
    EXPECT_FALSE(IsExcluded("http://W", disallow));
    EXPECT_FALSE(IsExcluded("http://H/x", DisallowList{""}));
}

TEST(IsExcludedTest, AgreesWithAPlainScan) {
    // Entries that sort between a matching prefix and the URL are what the search must see past.
    const DisallowList disallow{"a", "ab/", "aba", "abb/a", "b/", "b/a", "b/ab", "bb", "bba/"};
    std::vector<std::string> urls{""};
    for (std::size_t i = 0; i < urls.size() && urls[i].size() < 5; ++i) {
        for (char c : std::string_view("ab/")) {
            urls.push_back(urls[i] + c);
        }
    }
    for (const std::string& url : urls) {
        bool expected = false;
        for (const std::string& entry : disallow) {
            expected = expected || url.starts_with(entry);
        }
        EXPECT_EQ(IsExcluded(url, disallow), expected) << url;
    }
}

}  // namespace
}  // namespace quillharbor
