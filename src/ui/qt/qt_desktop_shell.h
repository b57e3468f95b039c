#pragma once

#include <QIcon>
#include <QString>
#include <vector>

#include "ui/text_collator.h"
#include "ui/window_services.h"

namespace quillharbor {

// Marks the program's own copies, which the clipboard watch does not take as captured links.
inline constexpr const char* kOwnCopyFormat = "application/x-quillharbor-copy";

// The desktop as Qt reaches it: QDesktopServices opens files and folders with their handler
// (a failure is ignored), the clipboard, file-type icons from the icon theme by MIME type, the
// help pages in the desktop's browser, and QCollator's locale order.
class QtDesktopShell final : public DesktopShell, public TextCollator {
public:
    QtDesktopShell();

    void openPath(const std::string& path) override;
    void copyText(const std::string& text) override;
    void showHelp(int context) override;
    int iconOfFile(const std::string& path) override;
    int compare(const std::string& a, const std::string& b) const override;

    // The icon of an index iconOfFile gave; 0 is the generic file icon.
    const QIcon& icon(int index) const;
    // The help page of a context (0 the contents), found beside the installed program or in the
    // source tree of a build.
    static QString helpPage(int context);

private:
    std::vector<QIcon> m_icons;
    std::vector<QString> m_iconNames;
};

}  // namespace quillharbor
