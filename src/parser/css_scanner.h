#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

// One reference of a style sheet to another file: a url(...) anywhere, or the string of an
// @import.
struct CssReference {
    std::string url;        // as the style sheet means it: CSS escapes decoded, blanks trimmed
    std::size_t begin = 0;  // the first byte of the reference as written (inside its quotes)
    std::size_t end = 0;    // one past its last byte; begin > 0, since "url(" or a quote precedes
};

// The references of css in order: url(...) in any letter case, quoted or not, and @import with a
// string ("@import 'a.css';", "@import url(a.css) screen;"). Comments and other strings are
// passed over, "myurl(" is no url(, and an unquoted url holding a quote or "(" is a bad url
// that yields nothing. An empty reference is left out. Text cut short (an open comment, string
// or url) ends the scan; the scan is linear in the text.
std::vector<CssReference> FindCssReferences(std::string_view css);

// The text of srcset value's candidates' URLs, as [begin, end) byte ranges of value: each
// candidate is a URL followed by descriptors ("1x", "480w"), candidates separated by commas.
std::vector<std::pair<std::size_t, std::size_t>> SrcsetUrlRanges(std::string_view value);

}  // namespace quillharbor
