// quillharbor: the desktop program. Options: --home DIR (the program directory), --help,
// --version; Qt's own options are taken by the application object.

#include <QGuiApplication>
#include <QMessageBox>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/program_directory_lock.h"
#include "ui/qt/close_signals.h"
#include "ui/qt/desktop_application.h"
#include "ui/qt/desktop_session.h"
#include "ui/qt/program_directory.h"

namespace {

constexpr int kUsage = 2;

void refuse(const std::string& problem) {
    std::cerr << "quillharbor: " << problem << "\n";
    // Started from a desktop menu there is no terminal to read; with no screen, no box.
    if (QGuiApplication::platformName() != "offscreen") {
        QMessageBox::critical(nullptr, QStringLiteral("Quillharbor"),
                              QString::fromStdString(problem));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    quillharbor::DesktopApplication app(argc, argv);
    std::optional<std::string> home;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype at = 1; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            std::cout
                << "Usage: quillharbor [--home DIR]\n\n"
                << "  --home DIR   the program directory, holding Quillharbor.ini and the task\n"
                << "               files (default: ~/.local/share/quillharbor/)\n";
            return 0;
        }
        if (argument == "--version") {
            std::cout << "quillharbor " QUILLHARBOR_VERSION "\n";
            return 0;
        }
        if (argument == "--home" && at + 1 < arguments.size()) {
            home = arguments[++at].toStdString();
        } else if (argument.startsWith("--home=")) {
            home = argument.mid(7).toStdString();
        } else {
            std::cerr << "quillharbor: unknown argument '" << argument.toStdString() << "'\n";
            return kUsage;
        }
    }
    const std::optional<std::string> programDir = quillharbor::desktopProgramDirectory(home);
    if (!programDir) {
        refuse("the program directory '" + home.value_or("~/.local/share/quillharbor") +
               "' is not a directory");
        return kUsage;
    }
    // Held until the files are written: a second program on the directory would overwrite them.
    auto lock = quillharbor::ProgramDirectoryLock::acquire(*programDir);
    if (!lock) {
        refuse(lock.error().text);
        return kUsage;
    }
    quillharbor::DesktopSession session(*programDir, quillharbor::defaultDesktopTaskRoot());
    app.setHalt(&session.window(), [&session] { session.halt(); });
    quillharbor::CloseSignals signals([&session] { session.forceClose(); });
    session.show();
    QApplication::exec();
    return 0;
}
