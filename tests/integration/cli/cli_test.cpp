// The built quillharbor-cli against nginx on loopback: grabs, failures, usage errors, plain
// progress output and an interrupted grab resumed.

#include <gmock/gmock.h>
#include <poll.h>
#include <pty.h>

#include "cli/cli_fixture.h"
#include "platform/program_directory_lock.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<std::string> kSiteFiles = {
    "Starting Document.html", "about.html",   "blog.html",  "contact.html",
    "first-post.html",        "gallery.html", "guide.html", "harbor.png",
    "install.html",           "logo.png",     "quill.gif",  "reference.html",
    "second-post.html",       "usage.html"};

std::vector<std::string> namesOf(const std::map<std::string, std::string>& tree) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : tree) {
        names.push_back(name);
    }
    return names;
}

TEST_F(CliTest, GrabSavesTheSiteRewritesItsLinksAndPrintsPlainLines) {
    const fs::path home = newHome("grab");
    std::string out;
    std::string err;
    ASSERT_EQ(run(home, {"get", url("/site/index.html"), "--levels", "infinity", "--verbose"}, &out,
                  &err),
              0)
        << out << err;
    const auto tree = treeOf(home / "My Downloads" / "Task-1");
    EXPECT_EQ(namesOf(tree), kSiteFiles) << "the private page is excluded by robots.txt";
    const std::string& start = tree.at("Starting Document.html");
    EXPECT_THAT(start, HasSubstr("href=\"about.html\""));
    EXPECT_THAT(start, HasSubstr("src=\"logo.png\""));
    EXPECT_THAT(start, HasSubstr("href=\"" + url("/site/private/secret.html") + "\""))
        << "a link to a file not retrieved stays absolute";
    EXPECT_THAT(tree.at("about.html"), HasSubstr("href=\"Starting%20Document.html\""));
    EXPECT_EQ(tree.at("logo.png"),
              readText(fs::path(QUILLHARBOR_SOURCE_DIR) / "examples/site/images/logo.png"));
    EXPECT_TRUE(fs::exists(home / "Task-1.tsf"));
    EXPECT_TRUE(fs::exists(home / "Quillharbor.ini"));

    // Off a terminal, progress is plain lines: nothing drawn in place.
    EXPECT_THAT(out, Not(HasSubstr("\r")));
    EXPECT_THAT(out, Not(HasSubstr("\x1b")));
    EXPECT_THAT(out, HasSubstr("retrieved  " + url("/site/about.html") + " -> about.html\n"));
    EXPECT_THAT(out, HasSubstr("excluded by robots.txt  " + url("/site/private/secret.html")));
    EXPECT_THAT(out, HasSubstr("Task Task-1 is finished.\n"));
    EXPECT_THAT(out, HasSubstr("Task Task-1 finished: 14 files read"));
    EXPECT_EQ(err, "");

    // A task file that is not sound is reported as an error and left alone.
    std::ofstream(home / "broken.tsf") << "# Download Task file v 0.0.1 \r\n";
    ASSERT_EQ(run(home, {"list"}, &out, &err), 1) << "the list lacks that task";
    EXPECT_THAT(err, HasSubstr("cannot load the task file '" + (home / "broken.tsf").string()));
    EXPECT_EQ(readText(home / "broken.tsf"), "# Download Task file v 0.0.1 \r\n");
    EXPECT_THAT(out, HasSubstr("Task-1 (finished)\n  URL: " + url("/site/index.html")));
    EXPECT_THAT(out, HasSubstr("  Files queued: 0\n"));
    EXPECT_THAT(out, HasSubstr("  Download from " + url("/site/") + "\n"));
    EXPECT_THAT(out, HasSubstr("  Max levels: infinity\n"));
    EXPECT_EQ(run(home, {"resume"}), 1);

    // A second grab of the same site in the same home is a new task.
    ASSERT_EQ(run(home,
                  {"--quiet", "get", url("/site/about.html"), "--levels", "0", "--name", "again",
                   "--no-rewrite-links"},
                  &out, &err),
              0)
        << out << err;
    EXPECT_EQ(out, "") << "--quiet prints nothing but failures";
    ASSERT_EQ(run(home, {"remove", "again"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("Removed task again; its files stay in"));
    EXPECT_FALSE(fs::exists(home / "again.tsf"));
    EXPECT_TRUE(fs::exists(home / "My Downloads" / "again"));

    ASSERT_EQ(run(home, {"get", url("/site/index.html"), "--files", "3", "--name", "few"}, &out), 0)
        << out;
    EXPECT_THAT(out, HasSubstr("Task few stopped at the file limit of 3: raise it with --files\n"));
}

// Runs the program with its standard output on a terminal of the given width; returns what the
// terminal received.
std::string runOnTerminal(std::vector<std::string> arguments, unsigned short columns, int& status) {
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        return {};
    }
    arguments.insert(arguments.begin(), QUILLHARBOR_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, master);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    std::string received;
    // The terminal reports EIO once the program has closed it; two minutes at most.
    for (int round = 0; spawned == 0 && round < 1200; ++round) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(master);
    status = -1;
    if (spawned == 0 && ::waitpid(pid, &status, 0) == pid) {
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return received;
}

TEST_F(CliTest, ProgressOnATerminalIsOneLiveLineCutToItsWidth) {
    const fs::path home = newHome("terminal");
    int status = -1;
    const std::string screen = runOnTerminal(
        {"--home", home.string(), "get", url("/site/index.html"), "--levels", "1"}, 50, status);
    ASSERT_EQ(status, 0) << screen;
    EXPECT_THAT(screen, HasSubstr("\r\x1b[KTask-1: "));
    // Lines printed above the live one, then the live one drawn again below them.
    EXPECT_THAT(screen, HasSubstr("\r\x1b[KTask Task-1 is finished.\r\n\r\x1b[KTask-1: "));
    std::size_t longest = 0;
    std::size_t drawn = 0;
    for (std::size_t at = screen.find("\x1b[K"); at != std::string::npos;
         at = screen.find("\x1b[K", at + 1)) {
        const std::size_t end = screen.find_first_of("\r\n", at);
        longest = std::max(longest, (end == std::string::npos ? screen.size() : end) - at - 3);
        ++drawn;
    }
    EXPECT_GT(drawn, 1u);
    EXPECT_LE(longest, 49u) << "the live line never reaches the last column";
}

TEST_F(CliTest, MissingPagesEndWithStatusOneAndAreListed) {
    const fs::path home = newHome("broken");
    std::string out;
    ASSERT_EQ(
        run(home, {"get", url("/broken/index.html"), "--levels", "infinity", "--verbose"}, &out), 1)
        << out;
    const std::string longUrl = url("/broken/") + kLongLink;
    EXPECT_THAT(out, HasSubstr("dropped a link of " + std::to_string(longUrl.size()) + " bytes (" +
                               longUrl.substr(0, 60) + "...) in " + url("/broken/index.html") +
                               ": longer than 8192 bytes\n"));
    EXPECT_THAT(accessLog(), Not(HasSubstr("GET /broken/long-")));
    EXPECT_THAT(out, HasSubstr("Failed objects (2):\n"));
    for (const char* page : kBrokenPages) {
        EXPECT_THAT(out,
                    HasSubstr("  404 Not Found  " + url("/broken/") + page + "  (protocol error"));
    }
    const auto tree = treeOf(home / "My Downloads" / "Task-1");
    EXPECT_EQ(tree.count("install.html"), 1u) << "the other pages still came";
}

TEST_F(CliTest, StartingDocumentThatIsNoPageKeepsTheNameOfItsUrl) {
    const fs::path home = newHome("picture");
    std::string out;
    ASSERT_EQ(run(home, {"get", url("/site/images/logo.png")}, &out), 0) << out;
    const auto tree = treeOf(home / "My Downloads" / "Task-1");
    EXPECT_EQ(namesOf(tree), std::vector<std::string>{"logo.png"});
    EXPECT_EQ(tree.at("logo.png"),
              readText(fs::path(QUILLHARBOR_SOURCE_DIR) / "examples/site/images/logo.png"));
}

// With the default settings the second task copies the first one's files and still follows
// the links of the copied pages.
TEST_F(CliTest, SecondGrabOfTheSameSiteSavesTheSameFiles) {
    const fs::path home = newHome("twice");
    for (int round = 0; round < 2; ++round) {
        std::string out;
        ASSERT_EQ(run(home, {"get", url("/site/index.html"), "--levels", "infinity"}, &out), 0)
            << out;
    }
    EXPECT_EQ(namesOf(treeOf(home / "My Downloads" / "Task-2")), kSiteFiles);
}

// --keep-alive holds for its run only: the configuration file keeps KeepAlive off.
TEST_F(CliTest, KeptConnectionsSaveTheSameFilesForOneRun) {
    const fs::path home = newHome("kept");
    std::string out;
    ASSERT_EQ(
        run(home, {"get", url("/site/index.html"), "--levels", "infinity", "--keep-alive"}, &out),
        0)
        << out;
    EXPECT_EQ(namesOf(treeOf(home / "My Downloads" / "Task-1")), kSiteFiles);
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/index.html HTTP/1.1 "));
    EXPECT_THAT(readText(home / "Quillharbor.ini"), HasSubstr("KeepAlive=0\r\n"));
}

TEST_F(CliTest, ResponsesCutMidBodyAreListedIncompleteAndOneResumeMakesThemWhole) {
    // Two reverse proxies in front of nginx: one passes everything, one cuts a page and an
    // image once each after half their bodies.
    const auto proxy = [](ServerProcess& process, std::vector<std::string> cut) {
        const std::uint16_t port = freePort();
        std::vector<std::string> argv = {"/usr/bin/python3", serverScript("http_cutting_proxy.py"),
                                         std::to_string(port), std::to_string(s_port)};
        argv.insert(argv.end(), cut.begin(), cut.end());
        EXPECT_TRUE(process.start(argv, port, (*s_work / ("proxy" + argv[2] + ".out")).string()));
        return "127.0.0.1:" + std::to_string(port);
    };
    ServerProcess passing;
    ServerProcess cutting;
    const std::string whole = proxy(passing, {});
    const std::string cut =
        proxy(cutting, {"/site/docs/guide.html", "/site/gallery/photos/harbor.png"});
    // The trees with the server's address in their links made alike.
    const auto tree = [](const fs::path& home, const std::string& server) {
        auto files = treeOf(home / "My Downloads" / "Task-1");
        for (auto& [name, bytes] : files) {
            for (auto at = bytes.find(server); at != std::string::npos; at = bytes.find(server)) {
                bytes.replace(at, server.size(), "SERVER");
            }
        }
        return files;
    };

    const fs::path uncut = newHome("uncut");
    ASSERT_EQ(run(uncut, {"get", "http://" + whole + "/site/index.html", "--levels", "infinity"}),
              0);
    const fs::path home = newHome("cut-once");
    std::string out;
    EXPECT_EQ(
        run(home, {"get", "http://" + cut + "/site/index.html", "--levels", "infinity"}, &out), 1);
    EXPECT_THAT(out, HasSubstr("Failed objects (2):\n"));
    EXPECT_THAT(out, HasSubstr("  incomplete (165 of 330 bytes)  http://" + cut +
                               "/site/docs/guide.html  (incomplete, task Task-1)\n"));
    EXPECT_THAT(out, HasSubstr("  incomplete (78 of 157 bytes)  http://" + cut +
                               "/site/gallery/photos/harbor.png  (incomplete, task Task-1)\n"));
    EXPECT_THAT(out, Not(HasSubstr("Task Task-1 finished: 14 files read")));

    ASSERT_EQ(run(home, {"resume"}, &out), 0) << out;
    EXPECT_EQ(tree(home, cut), tree(uncut, whole));
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/docs/guide.html HTTP/1.0 \"bytes=165-330\" 206"));
}

TEST_F(CliTest, RedirectToItselfEndsOnItsOwnWithItsReasonAndStaysFailed) {
    const fs::path home = newHome("loop");
    const auto requests = [] {
        const std::string log = accessLog();
        int count = 0;
        for (auto at = log.find("GET /loop.html "); at != std::string::npos;
             at = log.find("GET /loop.html ", at + 1)) {
            ++count;
        }
        return count;
    };
    const int before = requests();
    std::string out;
    EXPECT_EQ(run(home, {"get", url("/loop.html")}, &out), 1);
    EXPECT_THAT(out, HasSubstr("  802 too many redirects  " + url("/loop.html") +
                               "  (protocol error, task Task-1)\n"));
    EXPECT_EQ(requests() - before, 21) << "the first request and 20 redirects";
    EXPECT_EQ(run(home, {"resume"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("Nothing to resume."));
    EXPECT_EQ(requests() - before, 21) << "only the user's retry asks again";
}

TEST_F(CliTest, FtpGrabWithItsOwnLoginEndsWhenItsSlotLetsGo) {
    const fs::path root = newHome("ftp-root");
    fs::create_directories(root / "pub");
    std::string bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes += static_cast<char>(i * 31 % 251);
    }
    std::ofstream(root / "pub" / "file.bin", std::ios::binary) << bytes;
    ServerProcess server;
    const std::uint16_t port = freePort();
    ASSERT_TRUE(server.start(
        {"/usr/bin/python3", serverScript("ftp_pyftpdlib.py"), std::to_string(port), root.string()},
        port, (root.parent_path() / "ftp.out").string()));
    const std::string site = "ftp://127.0.0.1:" + std::to_string(port);

    const fs::path home = newHome("ftp");
    std::string out;
    ASSERT_EQ(
        run(home, {"get", site + "/pub/file.bin", "--ftp-user", "anna", "--ftp-password", "secret"},
            &out),
        0)
        << out;
    EXPECT_EQ(readText(home / "My Downloads" / "Task-1" / "file.bin"), bytes);
    ASSERT_EQ(
        run(home,
            {"get", site + "/pub/missing.bin", "--ftp-user", "anna", "--ftp-password", "secret"},
            &out),
        1);
    EXPECT_THAT(out, HasSubstr("  550 file not available  " + site +
                               "/pub/missing.bin  (FTP error, task Task-2)"));
    const std::string closed = "ftp://127.0.0.1:" + std::to_string(freePort()) + "/file.bin";
    ASSERT_EQ(run(newHome("ftp-refused"), {"get", closed}, &out), 1);
    EXPECT_THAT(out, HasSubstr("  500 connection refused  " + closed + "  (FTP error"));

    // A directory URL grabs the tree below it, and its listing is the offline copy's first page.
    fs::create_directories(root / "pub" / "sub dir");
    std::ofstream(root / "pub" / "with space.txt") << "spaced";
    std::ofstream(root / "pub" / "sub dir" / "inner.txt") << "inner";
    ASSERT_EQ(
        run(home, {"get", site + "/pub/", "--ftp-user", "anna", "--ftp-password", "secret"}, &out),
        0)
        << out;
    const auto tree = treeOf(home / "My Downloads" / "Task-3");
    EXPECT_EQ(tree.at("file.bin"), bytes);
    EXPECT_EQ(tree.at("with space.txt"), "spaced");
    EXPECT_EQ(tree.at("inner.txt"), "inner");
    EXPECT_THAT(tree.at("Starting Document.html"), HasSubstr("with%20space.txt\""));
}

TEST_F(CliTest, UsageErrorsEndWithStatusTwo) {
    const fs::path home = newHome("usage");
    std::string err;
    EXPECT_EQ(run(home, {}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("no command given"));
    EXPECT_EQ(run(home, {"fetch"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("unknown command 'fetch'"));
    EXPECT_EQ(run(home, {"get"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("'get' needs a URL"));
    EXPECT_EQ(run(home, {"get", "mailto:harbour@example.org"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("is not an http://, https:// or ftp:// URL"));
    EXPECT_EQ(run(home, {"get", "http://"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("names no host"));
    EXPECT_EQ(run(home, {"get", url("/"), "--levels", "101"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("--levels takes a whole number from 0 to 100, or infinity"));
    EXPECT_EQ(run(home, {"get", url("/"), "--extensions", "gif jpg"}, nullptr, &err), 2);
    EXPECT_EQ(run(home, {"get", url("/"), "--from"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("--from needs a value"));
    EXPECT_EQ(run(home, {"resume", "nothing-here"}, nullptr, &err), 2);
    EXPECT_EQ(run(home, {"remove"}, nullptr, &err), 2);
    std::ofstream(home / "a-file") << "not a directory";
    EXPECT_EQ(run(home, {"--home", (home / "a-file").string(), "list"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("is not a directory"));
    EXPECT_EQ(run(home, {"--home", (home / "made" / "here").string(), "list"}), 0);
    EXPECT_TRUE(fs::is_directory(home / "made" / "here")) << "a missing home is made";
    EXPECT_EQ(run(home, {"set", "General.MaxHTTPConns=70000"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("it would read as '4464'"));
    EXPECT_EQ(run(home, {"set", "General.NoSuchKey=1"}, nullptr, &err), 2);

    // A task directory that cannot be made: the task is refused and nothing is written.
    std::ofstream(home / "a-file") << "in the way";
    ASSERT_EQ(run(home, {"set", "General.TaskRoot=a-file/below"}), 0);
    EXPECT_EQ(run(home, {"get", url("/site/index.html")}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("Cannot create task directory " + (home / "a-file/below/").string() +
                               "Task-1/. Task Task-1 is not started"));
    EXPECT_FALSE(fs::exists(home / "Task-1.tsf"));
    EXPECT_EQ(run(home, {"get", url("/site/index.html"), "--name", "../escape"}, nullptr, &err), 2);

    std::string out;
    EXPECT_EQ(run(home, {"--help"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("resume [NAME...]"));
    EXPECT_EQ(run(home, {"get", "--help"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("--levels N|infinity"));
    EXPECT_EQ(run(home, {"--version"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("quillharbor-cli "));
}

TEST_F(CliTest, ADirectoryInUseIsLeftUntouched) {
    const fs::path home = newHome("locked");
    Result<ProgramDirectoryLock> held = ProgramDirectoryLock::acquire(home.string() + "/");
    ASSERT_TRUE(held.ok());
    std::string err;
    EXPECT_EQ(run(home, {"set", "Default.DownloadFrom=3"}, nullptr, &err), 2);
    EXPECT_THAT(err, HasSubstr("is in use by process " + std::to_string(::getpid())));
    EXPECT_FALSE(fs::exists(home / "Quillharbor.ini"));
}

TEST_F(CliTest, SettingsAreChangedInTheConfigurationFile) {
    const fs::path home = newHome("settings");
    std::string out;
    ASSERT_EQ(run(home, {"set", "default.downloadfrom=3"}, &out), 0);
    EXPECT_EQ(out, "Default.DownloadFrom=3\n");
    ASSERT_EQ(run(home, {"set", "General.HTTPProxyPassword=s3cret"}, &out), 0);
    ASSERT_EQ(run(home, {"settings"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("\nDefault.DownloadFrom=3\n"));
    EXPECT_THAT(out, HasSubstr("\nGeneral.HTTPProxyPassword=(set)\n"));
    EXPECT_THAT(out, HasSubstr("\nGeneral.TaskRoot=" + home.string() + "/My Downloads/\n"));
    EXPECT_THAT(readText(home / "Quillharbor.ini"), HasSubstr("DownloadFrom=3\r\n"));
}

TEST_F(CliTest, InterruptedGrabResumesToTheSameTree) {
    const fs::path whole = newHome("whole");
    ASSERT_EQ(run(whole, {"get", url("/site/index.html"), "--levels", "infinity"}), 0);

    const fs::path home = newHome("interrupted");
    // One slow slot, so that the interrupt comes half-way.
    ASSERT_EQ(run(home, {"set", "General.MaxHTTPConns=1"}), 0);
    ASSERT_EQ(run(home, {"set", "General.Pause=1000"}), 0);
    auto grab = start(home, {"get", url("/site/index.html"), "--levels", "infinity", "--verbose"});
    ASSERT_TRUE(grab->waitForOutput("retrieved  ", 3)) << grab->output();
    grab->signal(SIGINT);
    ASSERT_EQ(grab->wait(), 130) << grab->output() << grab->errors();
    EXPECT_THAT(grab->output(), HasSubstr("Task Task-1 interrupted: "));
    EXPECT_THAT(grab->output(), HasSubstr("Continue with: quillharbor-cli --home '"));
    std::string out;
    ASSERT_EQ(run(home, {"list"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("Task-1 (stopped)"));
    EXPECT_THAT(out, Not(HasSubstr("Files queued: 0\n")));
    const auto partial = treeOf(home / "My Downloads" / "Task-1");
    EXPECT_GE(partial.size(), 3u);
    EXPECT_LT(partial.size(), kSiteFiles.size());

    ASSERT_EQ(run(home, {"set", "General.Pause=0"}), 0);
    ASSERT_EQ(run(home, {"resume"}, &out), 0) << out;
    EXPECT_EQ(treeOf(home / "My Downloads" / "Task-1"), treeOf(whole / "My Downloads" / "Task-1"));
    ASSERT_EQ(run(home, {"resume"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("Nothing to resume."));
}

TEST_F(CliTest, TransferCutByAnInterruptIsContinuedWithARange) {
    const fs::path home = newHome("cut");
    const fs::path file = home / "My Downloads" / "Task-1" / "big.bin";
    auto grab = start(home, {"get", url("/big/index.html"), "--levels", "1"});
    std::error_code error;
    // Missing, the file's size reads as the largest number.
    const auto received = [&] {
        const std::uintmax_t size = fs::file_size(file, error);
        return error ? 0 : size;
    };
    for (int attempt = 0; attempt < 5000 && received() < (1u << 20); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    grab->signal(SIGINT);
    ASSERT_EQ(grab->wait(), 130) << grab->output() << grab->errors();
    EXPECT_THAT(grab->output(), Not(HasSubstr("is finished.")));
    const std::uintmax_t cut = received();
    if (cut == 0 || cut == kBigFileSize) {
        GTEST_SKIP() << "the transfer had ended before the interrupt came: " << cut << "\n"
                     << grab->output();
    }
    std::string out;
    ASSERT_EQ(run(home, {"list"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("Task-1 (stopped)"));
    EXPECT_THAT(out, HasSubstr("Files queued: 1\n"));

    ASSERT_EQ(run(home, {"resume", "Task-1"}, &out), 0) << out;
    EXPECT_EQ(fs::file_size(file), kBigFileSize);
    EXPECT_THAT(accessLog(), HasSubstr("GET /big/big.bin HTTP/1.0 \"bytes=" + std::to_string(cut) +
                                       "-" + std::to_string(kBigFileSize) + "\" 206"))
        << "the partial file is continued, not fetched again";
}

}  // namespace
}  // namespace quillharbor::test
