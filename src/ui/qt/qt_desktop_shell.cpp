#include "ui/qt/qt_desktop_shell.h"

#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStyle>
#include <QUrl>
#include <algorithm>

namespace quillharbor {

namespace {

QString pageOf(int context) {
    switch (context) {
        case 3:
            return "license.html";
        case 4:
            return "main-window.html";
        case 8:
            return "edit-task.html";
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
            return "global-options.html";
        case 14:
            return "default-task-options.html";
        case 15:
            return "new-task.html";
        default:
            return "index.html";
    }
}

}  // namespace

QtDesktopShell::QtDesktopShell() {
    m_icons.push_back(QIcon::fromTheme("text-x-generic",
                                       QApplication::style()->standardIcon(QStyle::SP_FileIcon)));
    m_iconNames.push_back("text-x-generic");
}

void QtDesktopShell::openPath(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtDesktopShell::copyText(const std::string& text) {
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(text));
    mime->setData(kOwnCopyFormat, {});
    QApplication::clipboard()->setMimeData(mime);
}

void QtDesktopShell::showHelp(int context) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpPage(context)));
}

QString QtDesktopShell::helpPage(int context) {
    // Installed beside the program (PREFIX/bin and PREFIX/share), else the source tree's.
    const QString installed =
        QCoreApplication::applicationDirPath() + "/../share/quillharbor/help/" + pageOf(context);
    if (QFileInfo::exists(installed)) {
        return QFileInfo(installed).canonicalFilePath();
    }
    return QStringLiteral(QUILLHARBOR_SOURCE_HELP_DIR "/") + pageOf(context);
}

int QtDesktopShell::iconOfFile(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) {
        return -1;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    const QString name = type.iconName();
    const auto known = std::find(m_iconNames.begin(), m_iconNames.end(), name);
    if (known != m_iconNames.end()) {
        return static_cast<int>(known - m_iconNames.begin());
    }
    QIcon icon = QIcon::fromTheme(name, QIcon::fromTheme(type.genericIconName(), m_icons[0]));
    m_icons.push_back(std::move(icon));
    m_iconNames.push_back(name);
    return static_cast<int>(m_icons.size() - 1);
}

const QIcon& QtDesktopShell::icon(int index) const {
    return index > 0 && index < static_cast<int>(m_icons.size()) ? m_icons[index] : m_icons[0];
}

int QtDesktopShell::compare(const std::string& a, const std::string& b) const {
    static const QCollator collator;
    return collator.compare(QString::fromStdString(a), QString::fromStdString(b));
}

}  // namespace quillharbor
