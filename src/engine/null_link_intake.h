#pragma once

#include "engine/link_intake.h"

namespace quillharbor {

// No link intake: documents are not scanned and robots answers are ignored.
class NullLinkIntake final : public LinkIntake {
public:
    void ScanLinks(EngineContext&, TDnObj&) override {}
    void RescanLinks(EngineContext&, TDnObj&) override {}
    void RobotsAnswer(EngineContext&, TDnObj&, std::string_view) override {}
};

}  // namespace quillharbor
