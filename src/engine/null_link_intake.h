#pragma once

#include "engine/link_intake.h"

namespace quillharbor {

// No link intake: documents are not scanned and robots answers are ignored.
class NullLinkIntake final : public LinkIntake {
public:
    void ScanLinks(TDnObj&) override {}
    void RobotsAnswer(std::uintptr_t, TDnObj*) override {}
};

}  // namespace quillharbor
