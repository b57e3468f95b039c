#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/server_process.h"

namespace quillharbor::test {

namespace fs = std::filesystem;

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every regular file under root, by path relative to root, with its bytes.
inline std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> tree;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
        if (entry.is_regular_file()) {
            tree[fs::relative(entry.path(), root).string()] = readText(entry.path());
        }
    }
    return tree;
}

// A run of a built program (QUILLHARBOR_PROGRAM) with its standard output and error in files.
class ProgramRun {
public:
    ProgramRun(const fs::path& work, std::vector<std::string> arguments) {
        static int runs = 0;
        const std::string stem = (work / ("run" + std::to_string(++runs))).string();
        m_outPath = stem + ".out";
        m_errPath = stem + ".err";
        arguments.insert(arguments.begin(), QUILLHARBOR_PROGRAM);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ProgramRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // The exit status (128 + the signal that ended it), or -1 when the program did not end
    // within the limit (it is killed then).
    int wait(std::chrono::seconds limit = std::chrono::seconds(120)) {
        if (m_pid > 0) {
            const int ended = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
            pollfd ready{ended, POLLIN, 0};
            const bool done =
                ended >= 0 && ::poll(&ready, 1, static_cast<int>(limit.count() * 1000)) > 0;
            ::close(ended);
            int status = 0;
            if (!done || ::waitpid(m_pid, &status, 0) != m_pid) {
                return -1;
            }
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return m_status;
    }
    // Waits (bounded) until standard output holds text at least count times.
    bool waitForOutput(const std::string& text, int count) {
        for (int attempt = 0; attempt < 3000 && m_pid > 0; ++attempt) {
            const std::string out = output();
            int found = 0;
            for (auto at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) {
                ++found;
            }
            if (found >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void signal(int number) {
        if (m_pid > 0) {
            ::kill(m_pid, number);
        }
    }
    std::string output() const { return readText(m_outPath); }
    std::string errors() const { return readText(m_errPath); }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_outPath;
    std::string m_errPath;
};

// What a finished run left: its status and its two outputs.
struct Ran {
    int status;
    std::string out;
    std::string err;
};

// The example site of the repository, served by nginx on loopback twice over: whole under
// /site/ and under /broken/ without two of its pages and with an overlong link; /big/ links a
// large file. The server lives as long as the test program.
class CliTest : public ::testing::Test {
protected:
    static constexpr std::uintmax_t kBigFileSize = 256u << 20;
    static constexpr const char* kBrokenPages[] = {"docs/usage.html", "blog/2024/second-post.html"};
    // A link of 9,000 bytes on the broken copy's first page: too long to be followed.
    inline static const std::string kLongLink = "long-" + std::string(8995, 'x');

    static void SetUpTestSuite() {
        char pattern[] = "/tmp/qh-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_work = new fs::path(pattern);
        const fs::path root = *s_work / "www";
        const fs::path site = fs::path(QUILLHARBOR_SOURCE_DIR) / "examples" / "site";
        fs::create_directories(root / "big");
        fs::copy(site, root / "site", fs::copy_options::recursive);
        fs::copy(site, root / "broken", fs::copy_options::recursive);
        for (const char* page : kBrokenPages) {
            fs::remove(root / "broken" / page);
        }
        std::ofstream(root / "broken" / "index.html", std::ios::app)
            << "<a href=\"" << kLongLink << "\">long</a>\n";
        // A page linking a file big enough to be cut half-way by an interrupt.
        std::ofstream(root / "big" / "index.html") << "<a href=\"big.bin\">big</a>\n";
        std::ofstream(root / "big" / "big.bin").close();
        fs::resize_file(root / "big" / "big.bin", kBigFileSize);
        // robots.txt is read from the server's root only.
        std::ofstream(root / "robots.txt") << "User-agent: *\nDisallow: /site/private/\n"
                                           << "Disallow: /broken/private/\n";
        s_nginx = new ServerProcess;
        s_port = startNginx(*s_nginx, root, "nginx");
        ASSERT_NE(s_port, 0);
    }
    static void TearDownTestSuite() {
        delete s_nginx;
        s_nginx = nullptr;
        std::error_code ignored;
        fs::remove_all(*s_work, ignored);
        delete s_work;
        s_work = nullptr;
    }
    // A private nginx serving root, its files under s_work/name; its port, 0 when it failed.
    static std::uint16_t startNginx(ServerProcess& process, const fs::path& root,
                                    const std::string& name) {
        fs::create_directories(*s_work / name);
        const std::uint16_t port = freePort();
        return process.start({"/usr/bin/python3", serverScript("http_nginx.py"),
                              std::to_string(port), (*s_work / name).string(), root.string()},
                             port, (*s_work / (name + ".out")).string())
                   ? port
                   : 0;
    }

    static std::string accessLog() { return readText(*s_work / "nginx" / "access.log"); }
    static std::string url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(s_port) + path;
    }
    // A fresh program directory for one test.
    static fs::path newHome(const std::string& name) {
        const fs::path home = *s_work / name;
        fs::create_directories(home);
        return home;
    }
    static std::unique_ptr<ProgramRun> start(const fs::path& home,
                                             std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--home", home.string()});
        return std::make_unique<ProgramRun>(*s_work, std::move(arguments));
    }
    static Ran run(const fs::path& home, std::vector<std::string> arguments) {
        auto program = start(home, std::move(arguments));
        const int status = program->wait();
        return {status, program->output(), program->errors()};
    }
    static std::map<std::string, std::string> task(const fs::path& home, const std::string& name) {
        return treeOf(home / "My Downloads" / name);
    }

    static inline fs::path* s_work = nullptr;
    static inline ServerProcess* s_nginx = nullptr;
    static inline std::uint16_t s_port = 0;
};

}  // namespace quillharbor::test
