#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The local file names of the HTTP slot. Every name comes from a server-supplied URL (the
// requested one or a redirect target) and is a plain file name inside the task directory: no
// separator, never "." or "..", never empty, and short enough for the file system.

// The name for url's document: LocalNameFromUrl, "index.html" when that is empty (a directory or
// a "." or ".." segment), cut to a length every file system takes.
std::string DocumentName(std::string_view url);

// A name for the saved file of an HTML document whose name has no fitting extension: the
// extension (from the last ".", dot included) is empty or longer than 5 characters. Empty when
// the name already fits.
std::string HtmlNameFor(std::string_view name);

// Whether the starting document is saved under the task's starting-document name: only an HTML
// document is, by its content type ("htm" in any letter case) or, when the server sent none, by
// a name (DocumentName of url) whose extension holds "htm". Anything else is named like every
// other object.
bool TakesStartDocName(std::string_view contentType, std::string_view url);

// Whether a 404 page saved under name should be moved to name + ".html" so that it opens as
// HTML: it has an extension and that is neither ".htm" nor ".html" in any letter case.
bool ErrorPageNeedsHtmlName(std::string_view name);

}  // namespace quillharbor
