#pragma once

// The desktop program's session on the offscreen platform against nginx on loopback, shared by
// the window and dialog flows: a small tree of pages, a session over a private program
// directory, tasks made as the New Task dialog would make them, and the window's state as drawn.

#include <gtest/gtest.h>

#include <QAction>
#include <QListView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "net/server_process.h"
#include "platform/temp_directory.h"
#include "ui/qt/desktop_session.h"

namespace quillharbor::test {

namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;

class DesktopFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = new TempDirectory;
        const fs::path root = *s_work / "www";
        fs::create_directories(root / "big");
        std::ofstream(root / "big" / "index.html") << "<a href=\"big.bin\">big</a>\n";
        std::ofstream(root / "big" / "big.bin").close();
        // Large enough that a stop finds it still arriving.
        fs::resize_file(root / "big" / "big.bin", std::uintmax_t{2} << 30);
        std::ofstream(root / "small.html") << "<p>small</p>\n";
        // Three levels of pages, for the level limit.
        fs::create_directories(root / "levels");
        std::ofstream(root / "levels" / "index.html") << "<a href=\"a.html\">a</a>\n";
        std::ofstream(root / "levels" / "a.html") << "<a href=\"b.html\">b</a>\n";
        std::ofstream(root / "levels" / "b.html") << "<p>b</p>\n";
        fs::create_directories(*s_work / "nginx");
        s_port = freePort();
        s_nginx = new ServerProcess;
        ASSERT_TRUE(s_nginx->start({"/usr/bin/python3", serverScript("http_nginx.py"),
                                    std::to_string(s_port), *s_work / "nginx", root.string()},
                                   s_port, *s_work / "nginx.out"));
    }
    static void TearDownTestSuite() {
        delete s_nginx;
        delete s_work;
    }
    static std::string url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(s_port) + path;
    }

    std::unique_ptr<DesktopSession> open() {
        auto session = std::make_unique<DesktopSession>(m_home.path(), m_home / "downloads/");
        session->show();
        session->window().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&session->window()));
        return session;
    }
    static TTask* create(DesktopSession& session, const std::string& name, const std::string& path,
                         bool startAtOnce) {
        Engine& engine = session.engine();
        engine.PrepareNewTaskParams();
        engine.newTaskParams().Name = name;
        engine.newTaskParams().URL = url(path);
        engine.newTaskParams().Parse = true;
        engine.newTaskParams().StartAtOnce = startAtOnce;
        return engine.CreateTask();
    }
    static bool enabled(DesktopSession& session, UiCommand command) {
        session.window().flush();
        return session.window().action(command)->isEnabled();
    }
    static int rows(DesktopSession& session, ObjectListPage page) {
        return session.window().objectView(page)->model()->rowCount();
    }
    static void selectTasks(DesktopSession& session, std::vector<int> rows) {
        QListView* view = session.window().taskView();
        view->setFocus();
        view->selectionModel()->clearSelection();
        for (int row : rows) {
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select);
        }
    }

    static inline TempDirectory* s_work = nullptr;
    static inline ServerProcess* s_nginx = nullptr;
    static inline std::uint16_t s_port = 0;
    TempDirectory m_home;
};

}  // namespace quillharbor::test
