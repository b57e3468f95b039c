#pragma once

#include <string>

#include "engine/drop_source.h"
#include "storage/global_options.h"

namespace quillharbor {

// The two toolbar buttons and two menu items that control the drop window and clipboard
// watching, with the ShowDropWindow and PasteLinksFromClipboard settings behind them. The button
// and the item of one feature have states of their own: each click, and each report of the drop
// window's own menu, sets them by its own rule. Loop's thread only.
class DropWindowControls {
public:
    DropWindowControls(DropSource& module, GlobalOptions& settings)
        : m_module(module), m_settings(settings) {}

    // Start-up, once the configuration file is read: the drop window and the watching as the
    // settings say. The drop button's hint is left as it is until the first toggle.
    void startUp();

    // The drop button (it has already flipped its pressed state) and the menu item.
    void dropButtonClicked();
    void dropItemClicked();
    // The clipboard button (it has already flipped its pressed state) and the menu item.
    void pasteButtonClicked();
    void pasteItemClicked();
    // The drop window's own menu: the window was hidden, the watching was toggled.
    void hiddenFromMenu();
    void clipboardToggledFromMenu();
    // The drop window's dialog items follow the main window's dialog commands.
    void dialogItemsEnabled(bool enabled);

    bool dropButtonPressed() const { return m_dropButtonPressed; }
    const std::string& dropButtonHint() const { return m_dropButtonHint; }
    bool dropItemChecked() const { return m_dropItemChecked; }
    const std::string& dropItemCaption() const { return m_dropItemCaption; }
    bool pasteButtonPressed() const { return m_pasteButtonPressed; }
    bool pasteItemChecked() const { return m_pasteItemChecked; }

private:
    // Shows the window when it is hidden and hides it when it is visible.
    void flipDropWindow();
    void flipWatching();

    DropSource& m_module;
    GlobalOptions& m_settings;
    bool m_dropButtonPressed = true;
    std::string m_dropButtonHint = "Hide Drop Window";
    bool m_dropItemChecked = true;
    std::string m_dropItemCaption = "&Show Drop Window";
    bool m_pasteButtonPressed = false;
    bool m_pasteItemChecked = false;
    bool m_dialogItemsEnabled = true;
};

}  // namespace quillharbor
