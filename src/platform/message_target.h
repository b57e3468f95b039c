#pragma once

#include "platform/message.h"

namespace quillharbor {

// Receives the messages posted to its handle, always on the loop's thread. A handler may post,
// add or remove targets (itself included), start or stop timers and pump the loop again.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void onMessage(const Message& message) = 0;
};

}  // namespace quillharbor
