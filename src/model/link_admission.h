#pragma once

#include <string>
#include <string_view>

#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// The two tests that decide how far a task grows.
//
// LinkAccepted: may this link, found in one of the task's documents, become an object of the
// task? It is refused when it holds a byte below 32. An FTP link needs a file name and the
// task's FollowFTP flag (the boundary is not applied to it); any other link must begin with the
// task's BoundaryPrefix (byte-wise, case-sensitive) unless that is empty, or its SchemeTwin must:
// http and https of one host and path are one site. A task with Extensions
// also wants the link's extension: the text from the last "." anywhere in the link to its end,
// lower-cased, followed by one blank, must occur in Extensions; a link without a "." is refused.
bool LinkAccepted(std::string_view link, const TTask& task);

// ListingEntryAccepted: may this entry of a listed FTP directory (a file, or a directory ending
// with "/") become an object of the task? Like a link of a page it is refused when it holds a
// byte below 32, and it must lie inside the task's BoundaryPrefix, unless the task follows FTP
// links, which ignore the boundary. Extensions apply to files only: directories are taken to reach
// the files below them.
bool ListingEntryAccepted(std::string_view link, const TTask& task);

// ShouldParse: is this saved document scanned for links? Only when its file Dir + LocalName
// exists, it is HTML (its ContentType holds "htm"; without a content type its URL's extension
// holds "htm" or its URL has no "." at all), its Level is below the task's MaxLevels and the task
// has created fewer than MaxFiles objects (0 is no limit for both). So with MaxLevels n the
// documents of levels 1 to n - 1 are scanned and objects up to level n are created. The object
// must belong to a task. A task with PageRequisites also scans the pages of the last level and
// its style sheets (ContentType holding "css", or none and a URL ending in ".css"), for their
// requisites only (TakesPageLinks).
bool ShouldParse(const TDnObj& object);
// The tests of ShouldParse but the file's, with the content type given: for a slot that holds
// the document's bytes, or has not settled its content type yet.
bool WouldParse(const TDnObj& object, const std::string& contentType);

// Whether a scanned document's links to other documents are taken (its requisites always are):
// it stands above the task's last level and is no style sheet.
bool TakesPageLinks(const TDnObj& page);

bool IsStyleSheet(const TDnObj& object);

// ShouldParseCopy: is a page settled as a copy of another task's (state 10) scanned for links like
// a retrieved one? Only in a task that rewrites its pages (flag Parse), when the copy's file
// (its Location) exists and the tests of ShouldParse hold, with the owner's content type: owner
// is the retrieved object whose file the copy names.
bool ShouldParseCopy(const TDnObj& copy, const TDnObj& owner);

}  // namespace quillharbor
