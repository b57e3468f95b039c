#pragma once

#include "engine/drop_source.h"

namespace quillharbor {

// A platform without a drop window: nothing is ever captured.
class NullDropSource final : public DropSource {
public:
    void CreateDropWindow(Handle) override {}
    void DestroyDropWindow() override {}
    void ShowDropWindow() override {}
    void HideDropWindow() override {}
    bool IsDropWindowVisible() override { return false; }
    void SetClipCheck(bool) override {}
    void SetPasteMIState(bool) override {}
    void SetDialogMIStates(bool) override {}
    std::optional<std::string> GetDropURL() override { return std::nullopt; }
    std::string_view GetDropData() override { return {}; }
    void ReleaseDropData() override {}
};

}  // namespace quillharbor
