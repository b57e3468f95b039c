#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/link_intake.h"

namespace quillharbor {

// The link intake: turns a saved HTML document into new objects of its task, one level deeper,
// within the task's boundary, extensions, levels and file limit, and hands the new HTTP objects
// to the robots gate while "ObeyRobotExclusion" is on.
//
// ScanLinks (TakeLinks): the document's links, resolved against the URL it was retrieved from.
// The page of a listed FTP directory gives its entries, admitted by ListingEntryAccepted and
// never given a trailing slash (the listing says which are directories). Links longer than
// 8 KiB are dropped, and so are the new ones past the task's file limit; the view hears of each
// such drop (ShowLinkDropped).
// A link to a URL the task holds at a deeper level lowers that object's level, and a document
// already scanned is then scanned again from the lower level. The document's own Queued count
// is settled in every case, even when its file cannot be read (the user is told why and the
// document yields no links), and a task left with nothing queued gets TaskEnded.
// RescanLinks: the same over a document scanned before, with its links as written in the file
// (a rewritten document's local names skipped); held URLs are left alone and no count of the
// document changes.
//
// A page settled as a copy of another task's (state 10) is scanned from that task's file when
// ScansCopy holds: its links are resolved against where the owner was retrieved from, and the
// local names of a rewritten copy stand for the URLs of the owner task's objects of those names.
// Those URLs are kept between calls for the last owner task (looked up again, at most once a
// page, when a name is missing), so a grab of a site another task has grabbed stays linear.
class EngineLinkIntake final : public LinkIntake {
public:
    void ScanLinks(EngineContext& engine, TDnObj& object) override;
    void RescanLinks(EngineContext& engine, TDnObj& object) override;
    void RobotsAnswer(EngineContext& engine, TDnObj& request, std::string_view body) override;

private:
    void takePageLinks(EngineContext& engine, TDnObj& page);
    void takeCopyLinks(EngineContext& engine, TDnObj& copy);
    // The URL a link of a rewritten copy of owner's page stands for; empty for a local name that
    // names no object of owner.
    std::string urlOfRewrittenLink(const TTask& owner, std::string link, const std::string& base,
                                   bool& namesFresh);

    struct OwnerNames {
        std::uintptr_t task = 0;  // identity of the task the URLs are of
        std::unordered_map<std::string, std::string> urls;
    };
    OwnerNames m_ownerNames;
};

}  // namespace quillharbor
