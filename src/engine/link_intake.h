#pragma once

#include <cstdint>

#include "model/dn_obj.h"

namespace quillharbor {

// Takes the links out of saved documents and feeds robots.txt answers to the robots rules. The
// engine resolves the objects named by ScanLinks (WM_USER+138) and RobotsAnswer (WM_USER+140)
// and calls it on the loop's thread.
class LinkIntake {
public:
    virtual ~LinkIntake() = default;
    // A saved document of the object's task to take links from; the intake settles the object's
    // count (Queued) when it is done with it.
    virtual void ScanLinks(TDnObj& object) = 0;
    // A robots.txt request ended. body is the message's wParam as the HTTP slot posted it (0: no
    // usable body); the intake owns what it names and must release it even when object is
    // nullptr, which means the request's task is gone.
    virtual void RobotsAnswer(std::uintptr_t body, TDnObj* object) = 0;
};

}  // namespace quillharbor
