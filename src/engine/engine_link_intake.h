#pragma once

#include <string_view>

#include "engine/link_intake.h"

namespace quillharbor {

// The link intake: turns a saved HTML document into new objects of its task, one level deeper,
// within the task's boundary, extensions, levels and file limit, and hands the new HTTP objects
// to the robots gate while "ObeyRobotExclusion" is on. It keeps nothing between calls.
//
// ScanLinks (TakeLinks): the document's links, resolved against the URL it was retrieved from.
// The page of a listed FTP directory gives its entries, admitted by ListingEntryAccepted and
// never given a trailing slash (the listing says which are directories).
// A link to a URL the task holds at a deeper level lowers that object's level, and a document
// already scanned is then scanned again from the lower level. The document's own Queued count
// is settled in every case, even when its file cannot be read (the user is told why and the
// document yields no links), and a task left with nothing queued gets TaskEnded.
// RescanLinks: the same over a document scanned before, with its links as written in the file
// (a rewritten document's local names skipped); held URLs are left alone and no count of the
// document changes.
class EngineLinkIntake final : public LinkIntake {
public:
    void ScanLinks(EngineContext& engine, TDnObj& object) override;
    void RescanLinks(EngineContext& engine, TDnObj& object) override;
    void RobotsAnswer(EngineContext& engine, TDnObj& request, std::string_view body) override;
};

}  // namespace quillharbor
