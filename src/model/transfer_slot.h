#pragma once

#include "model/dn_obj.h"

namespace quillharbor {

// One parallel transfer: serves one download object at a time and reports every result by
// posting the engine's messages (engine_message.h) to the engine's handle, never by calling it.
// The engine holds slots only through this interface (and HttpSlot, FtpSlot); all calls are made
// on the loop's thread.
//
// Destroying a slot that is busy aborts its transfer first and then runs Finish.
class TransferSlot {
public:
    virtual ~TransferSlot() = default;

    // Begins serving object; the slot holds it until Finish. The scheduler has taken the object
    // out of the queue and put it into the seen list; the slot marks it being retrieved (a
    // robots.txt request keeps its state), resets its tick counters and reports ObjectStarted.
    virtual void Start(TDnObj& object) = 0;
    // HTTP: no request is in progress. FTP: the protocol component is ready.
    virtual bool ready() const = 0;
    // The object served, nullptr when none.
    virtual TDnObj* Obj() const = 0;
    // Ends the hold on the object.
    virtual void Finish() = 0;
    // HTTP: aborts the request; its completion follows later from the loop, as an event.
    // FTP: aborts synchronously.
    virtual void abort() = 0;
    // Lets go of the object for good before it is freed: aborts what runs for it, closes its file
    // and clears Obj, all before returning. Afterwards the slot never reads, writes or posts
    // about that object again, whatever completion of the aborted work arrives later.
    virtual void abandon() = 0;
};

}  // namespace quillharbor
