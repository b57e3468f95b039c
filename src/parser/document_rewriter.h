#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/html_buffer.h"

namespace quillharbor {

// One link of a document that a rewrite replaces: the bytes through StartPos are kept, the link
// goes in, and copying resumes at EndPos (see GetAttrValuePos). A record without URL removes
// the bytes between them: a base element's href, name and value.
struct TParseURLInfo {
    std::string URL;  // the link as it is looked up: absolute, or as written in a rewritten page
    std::size_t StartPos = 0;
    std::size_t EndPos = 0;
    bool InCss = false;  // inside CSS text, where a blank, quote, parenthesis or "\" ends a url
};

// The links of a document that a rewrite replaces, found by the walk of ExtractLinksAndRequisites
// (each srcset candidate and each url(...) of style attributes and "style" elements apart). Each
// value is resolved against the base (which a "base" tag replaces) unless the document was
// rewritten before; only results holding a slash are taken, so local names written by an earlier
// pass, fragments, and mail, script and other links that cannot be followed stay as written.
// The href of each "base" tag is taken out (the tag stays), so that a browser opens the local
// names next to the page rather than on the site.
// The result is in ascending order of StartPos and never overlaps (StartPos < EndPos <= the
// next StartPos, the last EndPos <= size()): of two values that share bytes, which malformed
// attributes of one img tag can give, only the first in the document is taken.
std::vector<TParseURLInfo> FindRewritableLinks(const HtmlBuffer& buffer, std::string_view base,
                                               bool alreadyRewritten);

// The references of a style sheet that a rewrite replaces (FindCssReferences), under the same
// rules as FindRewritableLinks; a fragment stays behind the replaced text.
std::vector<TParseURLInfo> FindRewritableCssLinks(std::string_view css, std::string_view base,
                                                  bool alreadyRewritten);

// The local path (under the task directory, "/" between folders) of the object retrieved from a
// URL, or empty when the URL names none.
using LocalNameLookup = std::function<std::string_view(std::string_view url)>;

// The relative URL path from the file fromPath to the file toPath, both local paths of one
// directory with "/" between folders: "b.html" from "a.html", "../lib/os.html" from
// "h/index.html" to "lib/os.html".
std::string RelativeLocalPath(std::string_view fromPath, std::string_view toPath);

// The document with each link of links (as FindRewritableLinks gives them) replaced by the path
// from the page's own file (pagePath) to the local file of its object, or by its URL when it
// has none. A local path is written as a relative URL: '%', '#' and '?' are percent-encoded, so
// that a browser opens the file of that very name. In both, blanks, control bytes, quotes, '<'
// and '>' (in CSS text also parentheses and "\") are percent-encoded, so that the link can end
// neither its attribute value, its url(...) nor its tag. Every byte outside the replaced values
// is kept.
std::string SpliceLinks(std::string_view document, const std::vector<TParseURLInfo>& links,
                        const LocalNameLookup& localNameOf, std::string_view pagePath = {});

// The local file name that a link of a rewritten page stands for, as SpliceLinks wrote it: the
// text before any "#", its percent-escapes decoded. Empty when the link holds a slash (an
// absolute URL) or is empty.
std::string LocalNameOfLink(std::string_view link);

// FindRewritableLinks and SpliceLinks in one: the rewritten bytes of the document.
std::string RewriteDocument(const HtmlBuffer& buffer, std::string_view base, bool alreadyRewritten,
                            const LocalNameLookup& localNameOf, std::string_view pagePath = {});

}  // namespace quillharbor
