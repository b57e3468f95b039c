#include "ui/drop_window_controls.h"

namespace quillharbor {

void DropWindowControls::startUp() {
    if (m_settings.ShowDropWindow) {
        m_module.ShowDropWindow();
    } else {
        m_module.HideDropWindow();
    }
    m_dropItemChecked = m_settings.ShowDropWindow;
    m_dropButtonPressed = m_settings.ShowDropWindow;
    m_module.SetClipCheck(m_settings.PasteLinksFromClipboard);
    m_pasteItemChecked = m_settings.PasteLinksFromClipboard;
    m_module.SetPasteMIState(m_settings.PasteLinksFromClipboard);
    m_pasteButtonPressed = m_settings.PasteLinksFromClipboard;
}

void DropWindowControls::flipDropWindow() {
    if (m_module.IsDropWindowVisible()) {
        m_settings.ShowDropWindow = false;
        m_module.HideDropWindow();
        m_dropButtonHint = "Show Drop Window";
    } else {
        m_settings.ShowDropWindow = true;
        m_module.ShowDropWindow();
        m_dropButtonHint = "Hide Drop Window";
    }
}

void DropWindowControls::dropButtonClicked() {
    m_dropButtonPressed = !m_dropButtonPressed;
    flipDropWindow();
    m_dropItemChecked = m_module.IsDropWindowVisible();
}

void DropWindowControls::dropItemClicked() {
    flipDropWindow();
    m_dropItemChecked = !m_dropItemChecked;
    m_dropButtonPressed = m_module.IsDropWindowVisible();
}

// The setting is flipped, not copied from a control: a control may disagree with it.
void DropWindowControls::flipWatching() {
    m_settings.PasteLinksFromClipboard = !m_settings.PasteLinksFromClipboard;
    m_module.SetClipCheck(m_settings.PasteLinksFromClipboard);
}

void DropWindowControls::pasteButtonClicked() {
    m_pasteButtonPressed = !m_pasteButtonPressed;
    m_pasteItemChecked = m_pasteButtonPressed;
    m_module.SetPasteMIState(m_pasteButtonPressed);
    flipWatching();
}

void DropWindowControls::pasteItemClicked() {
    m_pasteItemChecked = !m_pasteItemChecked;
    m_pasteButtonPressed = m_pasteItemChecked;
    m_module.SetPasteMIState(m_pasteButtonPressed);
    flipWatching();
}

void DropWindowControls::hiddenFromMenu() {
    m_dropItemCaption = "Show Drop Window";
    m_dropItemChecked = false;
    m_dropButtonHint = "Show Drop Window";
    m_dropButtonPressed = false;
    m_settings.ShowDropWindow = false;
}

void DropWindowControls::clipboardToggledFromMenu() {
    m_pasteItemChecked = !m_pasteItemChecked;
    m_pasteButtonPressed = m_pasteItemChecked;
    flipWatching();
}

void DropWindowControls::dialogItemsEnabled(bool enabled) {
    if (enabled != m_dialogItemsEnabled) {
        m_dialogItemsEnabled = enabled;
        m_module.SetDialogMIStates(enabled);
    }
}

}  // namespace quillharbor
