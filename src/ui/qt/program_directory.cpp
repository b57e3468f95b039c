#include "ui/qt/program_directory.h"

#include <QDir>
#include <QStandardPaths>

namespace quillharbor {

namespace {

std::string withSlash(const QString& path) {
    std::string text = QDir::cleanPath(QDir(path).absolutePath()).toStdString();
    if (!text.ends_with('/')) {
        text += '/';
    }
    return text;
}

}  // namespace

std::optional<std::string> desktopProgramDirectory(const std::optional<std::string>& home) {
    if (home) {
        const QString given = QString::fromStdString(*home);
        if (!QDir(given).exists()) {
            return std::nullopt;
        }
        return withSlash(given);
    }
    const QString data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/quillharbor";
    if (!QDir().mkpath(data)) {
        return std::nullopt;
    }
    return withSlash(data);
}

std::string defaultDesktopTaskRoot() {
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty()) {
        downloads = QDir::homePath() + "/Downloads";
    }
    return withSlash(downloads + "/Quillharbor");
}

}  // namespace quillharbor
