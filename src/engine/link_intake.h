#pragma once

#include <string_view>

#include "model/dn_obj.h"

namespace quillharbor {

struct EngineContext;

// Takes the links out of saved documents and feeds robots.txt answers to the robots rules. The
// engine resolves the objects named by ScanLinks (WM_USER+138) and RobotsAnswer (WM_USER+140),
// and calls it on the loop's thread with its own context, which the calls may change.
// EngineLinkIntake is the real one; NullLinkIntake scans nothing.
class LinkIntake {
public:
    virtual ~LinkIntake() = default;
    // A saved document of the object's task to take links from; the intake settles the object's
    // count (Queued) when it is done with it.
    virtual void ScanLinks(EngineContext& engine, TDnObj& object) = 0;
    // A document taken before, scanned again after its task's limits were edited: it creates the
    // objects the new limits admit and leaves the document's count alone.
    virtual void RescanLinks(EngineContext& engine, TDnObj& object) = 0;
    // The robots.txt request ended; body is empty when it brought nothing usable. The engine has
    // taken the body out of its store already, and drops answers whose request is gone.
    virtual void RobotsAnswer(EngineContext& engine, TDnObj& request, std::string_view body) = 0;
};

}  // namespace quillharbor
