#pragma once

namespace quillharbor {

// Dial-up connection control, an optional companion module. Each call is synchronous, returns
// at once and is made on the loop's thread.
class DialUp {
public:
    virtual ~DialUp() = default;
    // Dial-up networking is installed; asked once, at start-up.
    virtual bool IsRASInstalled() = 0;
    // A dial-up connection is up at this moment.
    virtual bool IsRASConnected() = 0;
    virtual void Hangup() = 0;
};

}  // namespace quillharbor
