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

// The local path of url's document in the site's own layout: a folder named after the host
// (its port after a "-", any user name dropped), one folder per segment of the path, and the
// file name of the last segment, "index.html" for a directory. A query goes into the file name
// before its extension after an "@" ("list@page=2.html"). Each folder and file name is made
// safe as DocumentName's are (no separator, NUL or "\\:*?<>|'", never empty, "." or "..",
// bounded in length), so the path never leaves the task directory.
std::string SitePath(std::string_view url);

// SitePath in a task that keeps the site's layout, DocumentName in any other.
std::string DocumentPath(std::string_view url, bool siteLayout);

// A name for the saved file of an HTML document whose name has no fitting extension: the
// extension (from the last "." of its file name, dot included) is empty or longer than 5
// characters. Empty when the name already fits. A path's folders stay as they are.
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
