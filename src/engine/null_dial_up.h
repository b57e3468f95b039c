#pragma once

#include "engine/dial_up.h"

namespace quillharbor {

// Dial-up control switched off: no dial-up networking, never connected, nothing to hang up.
class NullDialUp final : public DialUp {
public:
    bool NetworkingPresent() override { return false; }
    bool LoadModule() override { return false; }
    bool IsRASInstalled() override { return false; }
    bool IsRASConnected() override { return false; }
    void Hangup() override {}
};

}  // namespace quillharbor
