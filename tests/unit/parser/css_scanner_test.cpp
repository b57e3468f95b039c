#include "parser/css_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillharbor {
namespace {

using Urls = std::vector<std::string>;

Urls urlsOf(std::string_view css) {
    Urls urls;
    for (const CssReference& reference : FindCssReferences(css)) {
        urls.push_back(reference.url);
    }
    return urls;
}

TEST(CssScannerTest, FindsEachReference) {
    const struct {
        std::string_view css;
        Urls urls;
    } cases[] = {
        {"a{background:url(a.png)}", {"a.png"}},
        {"a{background:URL( 'b c.png' )}", {"b c.png"}},
        {"a{background:url(\"q.png\") url( u.png )}", {"q.png", "u.png"}},
        {"@import 'a.css';@IMPORT \"b.css\" screen;@import url(c.css);",
         {"a.css", "b.css", "c.css"}},
        {"@import /* why */ 'd.css';@import url('e.css') print;", {"d.css", "e.css"}},
        {"/* url(no.png) */ a{b:url(yes.png)} /* open url(no2.png)", {"yes.png"}},
        {"a{content:'url(no.png)'} b{content:\"x\\\" url(no2.png)\"}", {}},
        {"a{b:myurl(no.png); c:url(yes.png)}", {"yes.png"}},
        {"a{b:url(bad\"quote.png) c:url(bad(paren.png) d:url(ok.png)}", {"ok.png"}},
        {"a{b:url(x y.png)} c{d:url(ok.png)}", {"ok.png"}},
        {"a{b:url(a\\(1\\).png) c:url('\\41 b.png') d:url(\\62 c.png)}",
         {"a(1).png", "Ab.png", "bc.png"}},
        {"a{b:url('s\\\nplit.png')}", {"split.png"}},
        {"a{b:url() c:url('')}", {}},
        {"a{b:url(cut.png", {}},
        {"@import 'cut.css", {"cut.css"}},
        {"@importx 'no.css'; @import", {}},
    };
    for (const auto& [css, urls] : cases) {
        EXPECT_EQ(urlsOf(css), urls) << css;
    }
}

TEST(CssScannerTest, RangesCoverTheTextAsWritten) {
    const std::string_view css = "a{b:url( 'x\\41.png' )} @import \"i.css\";";
    const std::vector<CssReference> found = FindCssReferences(css);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(css.substr(found[0].begin, found[0].end - found[0].begin), "x\\41.png");
    EXPECT_EQ(found[0].url, "xA.png");
    EXPECT_EQ(css.substr(found[1].begin, found[1].end - found[1].begin), "i.css");
}

TEST(CssScannerTest, SrcsetCandidates) {
    const struct {
        std::string_view value;
        Urls urls;
    } cases[] = {
        {"a.png", {"a.png"}},
        {" a.png 1x, b.png 2x ", {"a.png", "b.png"}},
        {"a.png 480w,b.png 800w", {"a.png", "b.png"}},
        {"a.png,b.png", {"a.png,b.png"}},
        {"a.png, ,b.png,", {"a.png", "b.png"}},
        {"", {}},
    };
    for (const auto& [value, urls] : cases) {
        Urls found;
        for (const auto& [begin, end] : SrcsetUrlRanges(value)) {
            found.emplace_back(value.substr(begin, end - begin));
        }
        EXPECT_EQ(found, urls) << value;
    }
}

}  // namespace
}  // namespace quillharbor
