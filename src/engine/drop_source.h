#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/message.h"

namespace quillharbor {

// The drop window and clipboard watching: a companion module that captures links (and dropped
// documents) and reports each capture by posting LinkDropped (WM_USER+416: wParam the drop mode,
// lParam the size of the dropped document or 0) to the handle given to CreateDropWindow. It also
// posts WM_USER+411..415 for its own menu. All calls are made on the loop's thread.
class DropSource {
public:
    virtual ~DropSource() = default;

    virtual void CreateDropWindow(Handle reportTo) = 0;
    virtual void DestroyDropWindow() = 0;
    virtual void ShowDropWindow() = 0;
    virtual void HideDropWindow() = 0;
    virtual bool IsDropWindowVisible() = 0;
    virtual void SetClipCheck(bool watchClipboard) = 0;
    virtual void SetPasteMIState(bool checked) = 0;
    virtual void SetDialogMIStates(bool enabled) = 0;

    // The captured URL, or nothing when there is none.
    virtual std::optional<std::string> GetDropURL() = 0;
    // The dropped document's bytes as the module holds them; valid until ReleaseDropData.
    virtual std::string_view GetDropData() = 0;
    virtual void ReleaseDropData() = 0;
};

}  // namespace quillharbor
