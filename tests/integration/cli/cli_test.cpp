// The built quillharbor-cli against nginx on loopback: grabs and their options, failures, usage
// errors, progress output, and grabs interrupted or cut and resumed.

#include <gmock/gmock.h>
#include <pty.h>

#include "cli/cli_fixture.h"
#include "net/tls_servers.h"
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

std::string logo() {
    return readText(fs::path(QUILLHARBOR_SOURCE_DIR) / "examples/site/images/logo.png");
}

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

TEST_F(CliTest, GrabSavesTheSiteRewritesItsLinksAndPrintsPlainLines) {
    const fs::path home = newHome("grab");
    Ran ran = run(home, {"get", url("/site/index.html"), "--levels", "infinity", "--verbose"});
    ASSERT_EQ(ran.status, 0) << ran.out << ran.err;
    const auto tree = task(home, "Task-1");
    EXPECT_EQ(namesOf(tree), kSiteFiles) << "the private page is excluded by robots.txt";
    const std::string& start = tree.at("Starting Document.html");
    EXPECT_THAT(start, HasSubstr("href=\"about.html\""));
    EXPECT_THAT(start, HasSubstr("src=\"logo.png\""));
    EXPECT_THAT(start, HasSubstr("href=\"" + url("/site/private/secret.html") + "\""))
        << "a link to a file not retrieved stays absolute";
    EXPECT_THAT(tree.at("about.html"), HasSubstr("href=\"Starting%20Document.html\""));
    EXPECT_EQ(tree.at("logo.png"), logo());
    EXPECT_TRUE(fs::exists(home / "Task-1.tsf"));
    EXPECT_TRUE(fs::exists(home / "Quillharbor.ini"));

    // Off a terminal, progress is plain lines: nothing drawn in place.
    EXPECT_THAT(ran.out, Not(HasSubstr("\r")));
    EXPECT_THAT(ran.out, Not(HasSubstr("\x1b")));
    EXPECT_THAT(ran.out, HasSubstr("retrieved  " + url("/site/about.html") + " -> about.html\n"));
    EXPECT_THAT(ran.out, HasSubstr("excluded by robots.txt  " + url("/site/private/secret.html")));
    EXPECT_THAT(ran.out, HasSubstr("Task Task-1 is finished.\n"));
    EXPECT_THAT(ran.out, HasSubstr("Task Task-1 finished: 14 files read"));
    EXPECT_EQ(ran.err, "");

    // A task file that is not sound is reported as an error and left alone.
    std::ofstream(home / "broken.tsf") << "# Download Task file v 0.0.1 \r\n";
    ran = run(home, {"list"});
    ASSERT_EQ(ran.status, 1) << "the list lacks that task";
    EXPECT_THAT(ran.err, HasSubstr("cannot load the task file '" + (home / "broken.tsf").string()));
    EXPECT_EQ(readText(home / "broken.tsf"), "# Download Task file v 0.0.1 \r\n");
    EXPECT_THAT(ran.out, HasSubstr("Task-1 (finished)\n  URL: " + url("/site/index.html")));
    EXPECT_THAT(ran.out, HasSubstr("  Files queued: 0\n"));
    EXPECT_THAT(ran.out, HasSubstr("  Download from " + url("/site/") + "\n"));
    EXPECT_THAT(ran.out, HasSubstr("  Max levels: infinity\n"));
    EXPECT_EQ(run(home, {"resume"}).status, 1);

    ran = run(home, {"--quiet", "get", url("/site/about.html"), "--levels", "0", "--name", "again",
                     "--no-rewrite-links"});
    ASSERT_EQ(ran.status, 0) << ran.out << ran.err;
    EXPECT_EQ(ran.out, "") << "--quiet prints nothing but failures";
    ran = run(home, {"remove", "again"});
    ASSERT_EQ(ran.status, 0);
    EXPECT_THAT(ran.out, HasSubstr("Removed task again; its files stay in"));
    EXPECT_FALSE(fs::exists(home / "again.tsf"));
    EXPECT_TRUE(fs::exists(home / "My Downloads" / "again"));

    ran = run(home, {"get", url("/site/index.html"), "--files", "3", "--name", "few"});
    ASSERT_EQ(ran.status, 0) << ran.out;
    EXPECT_THAT(ran.out,
                HasSubstr("Task few stopped at the file limit of 3: raise it with --files\n"));

    // A second grab of the site copies the first one's files and follows the copied pages' links.
    ASSERT_EQ(
        run(home, {"get", url("/site/index.html"), "-l", "infinity", "--name", "twice"}).status, 0);
    EXPECT_EQ(namesOf(task(home, "twice")), kSiteFiles);

    // A starting document that is no page keeps the name of its URL.
    ASSERT_EQ(run(home, {"get", url("/site/images/logo.png"), "--name", "picture"}).status, 0);
    EXPECT_EQ(task(home, "picture"), (std::map<std::string, std::string>{{"logo.png", logo()}}));
}

// Runs the program on a terminal of the given width; returns what the terminal received.
std::string runOnTerminal(std::vector<std::string> arguments, unsigned short columns, int& status) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    arguments.insert(arguments.begin(), QUILLHARBOR_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string received;
    // The terminal reports EIO once the program has closed it; two minutes at most.
    for (int round = 0; pid > 0 && round < 1200; ++round) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(master);
    status = -1;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
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

// Missing pages, an overlong link, a redirect to itself: exit status 1, each listed with its
// reason; a failed redirect stays failed for resume.
TEST_F(CliTest, MissingPagesEndWithStatusOneAndAreListed) {
    const fs::path home = newHome("broken");
    Ran ran = run(home, {"get", url("/broken/index.html"), "--levels", "infinity", "--verbose"});
    ASSERT_EQ(ran.status, 1) << ran.out;
    const std::string longUrl = url("/broken/") + kLongLink;
    EXPECT_THAT(ran.out, HasSubstr("dropped a link of " + std::to_string(longUrl.size()) +
                                   " bytes (" + longUrl.substr(0, 60) + "...) in " +
                                   url("/broken/index.html") + ": longer than 8192 bytes\n"));
    EXPECT_THAT(accessLog(), Not(HasSubstr("GET /broken/long-")));
    EXPECT_THAT(ran.out, HasSubstr("Failed objects (2):\n"));
    for (const char* page : kBrokenPages) {
        EXPECT_THAT(ran.out,
                    HasSubstr("  404 Not Found  " + url("/broken/") + page + "  (protocol error"));
    }
    EXPECT_EQ(task(home, "Task-1").count("install.html"), 1u) << "the other pages still came";

    const int before = count(accessLog(), "GET /loop.html ");
    ran = run(home, {"get", url("/loop.html")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_THAT(ran.out, HasSubstr("  802 too many redirects  " + url("/loop.html") +
                                   "  (protocol error, task Task-2)\n"));
    EXPECT_EQ(count(accessLog(), "GET /loop.html ") - before, 21)
        << "the first request and 20 redirects";
    ran = run(home, {"resume", "Task-2"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_THAT(ran.out, HasSubstr("Nothing to resume."));
    EXPECT_EQ(count(accessLog(), "GET /loop.html ") - before, 21)
        << "only the user's retry asks again";
}

TEST_F(CliTest, ARefusedCertificateIsReportedInWordsUnlessTheTaskIsInsecure) {
    const std::uint16_t expired = TlsServers::instance().start("expired");
    ASSERT_NE(expired, 0);
    const std::string page = TlsServers::https(expired, "/index.html");
    const fs::path home = newHome("expired");
    Ran ran = run(home, {"get", page, "--levels", "0"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_THAT(ran.out, HasSubstr("  804 certificate expired  " + page));
    EXPECT_EQ(treeOf(home / "My Downloads").size(), 0u) << "nothing is written";

    const fs::path insecure = newHome("insecure");
    EXPECT_EQ(run(insecure, {"get", page, "--levels", "0", "-k"}).status, 0);
    EXPECT_EQ(treeOf(insecure / "My Downloads").size(), 1u);

    const fs::path off = newHome("off");
    std::ofstream(off / "Quillharbor.ini") << "[General]\nHTTPS=0\n";
    ran = run(off, {"get", page});
    EXPECT_EQ(ran.status, 2);
    EXPECT_THAT(ran.err, HasSubstr("HTTPS is turned off"));
}

TEST_F(CliTest, FtpGrabWithItsOwnLoginEndsWhenItsSlotLetsGo) {
    const fs::path root = newHome("ftp-root");
    fs::create_directories(root / "pub" / "sub dir");
    std::string bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes += static_cast<char>(i * 31 % 251);
    }
    std::ofstream(root / "pub" / "file.bin", std::ios::binary) << bytes;
    std::ofstream(root / "pub" / "with space.txt") << "spaced";
    std::ofstream(root / "pub" / "sub dir" / "inner.txt") << "inner";
    ServerProcess server;
    const std::uint16_t port = freePort();
    ASSERT_TRUE(server.start(
        {"/usr/bin/python3", serverScript("ftp_pyftpdlib.py"), std::to_string(port), root.string()},
        port, (root.parent_path() / "ftp.out").string()));
    const std::string site = "ftp://127.0.0.1:" + std::to_string(port);
    const auto get = [&](const std::string& path) {
        return run(newHome("ftp"),
                   {"get", site + path, "--ftp-user", "anna", "--ftp-password", "secret"});
    };

    Ran ran = get("/pub/file.bin");
    ASSERT_EQ(ran.status, 0) << ran.out;
    EXPECT_EQ(task(newHome("ftp"), "Task-1").at("file.bin"), bytes);
    ran = get("/pub/missing.bin");
    ASSERT_EQ(ran.status, 1);
    EXPECT_THAT(ran.out, HasSubstr("  550 file not available  " + site +
                                   "/pub/missing.bin  (FTP error, task Task-2)"));
    const std::string closed = "ftp://127.0.0.1:" + std::to_string(freePort()) + "/file.bin";
    ran = run(newHome("ftp-refused"), {"get", closed});
    ASSERT_EQ(ran.status, 1);
    EXPECT_THAT(ran.out, HasSubstr("  500 connection refused  " + closed + "  (FTP error"));

    // A directory URL grabs the tree below it, and its listing is the offline copy's first page.
    ASSERT_EQ(get("/pub/").status, 0);
    const auto tree = task(newHome("ftp"), "Task-3");
    EXPECT_EQ(tree.at("file.bin"), bytes);
    EXPECT_EQ(tree.at("with space.txt"), "spaced");
    EXPECT_EQ(tree.at("inner.txt"), "inner");
    EXPECT_THAT(tree.at("Starting Document.html"), HasSubstr("with%20space.txt\""));
}

// Usage errors end with status 2 and change nothing; so does a directory in use.
TEST_F(CliTest, UsageErrorsEndWithStatusTwo) {
    const fs::path home = newHome("usage");
    std::ofstream(home / "a-file") << "not a directory";
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{}, "no command given"},
        {{"fetch"}, "unknown command 'fetch'"},
        {{"get"}, "'get' needs a URL"},
        {{"get", "mailto:harbour@example.org"}, "is not an http://, https:// or ftp:// URL"},
        {{"get", "http://"}, "names no host"},
        {{"get", url("/"), "--levels", "101"},
         "--levels takes a whole number from 0 to 100, or infinity"},
        {{"get", url("/"), "--extensions", "gif jpg"}, ""},
        {{"get", url("/"), "--from"}, "--from needs a value"},
        {{"get", url("/"), "--output=" + (home / "a-file").string()},
         "Cannot create task directory " + (home / "a-file").string()},
        {{"get", url("/"), "--name", "../escape"}, ""},
        {{"resume", "nothing-here"}, ""},
        {{"remove"}, ""},
        {{"--home", (home / "a-file").string(), "list"}, "is not a directory"},
        {{"set", "General.MaxHTTPConns=70000"}, "it would read as '4464'"},
        {{"set", "General.NoSuchKey=1"}, ""},
    };
    for (const auto& each : cases) {
        const Ran ran = run(home, each.arguments);
        EXPECT_EQ(ran.status, 2) << each.arguments.size() << " " << ran.err;
        EXPECT_THAT(ran.err, HasSubstr(each.error));
    }
    EXPECT_FALSE(fs::exists(home / "Task-1.tsf"));
    EXPECT_FALSE(fs::exists(home / "My Downloads"));

    // A task directory that cannot be made: the task is refused and nothing is written.
    ASSERT_EQ(run(home, {"set", "General.TaskRoot=a-file/below"}).status, 0);
    Ran ran = run(home, {"get", url("/site/index.html")});
    EXPECT_EQ(ran.status, 2);
    EXPECT_THAT(ran.err,
                HasSubstr("Cannot create task directory " + (home / "a-file/below/").string() +
                          "Task-1/. Task Task-1 is not started"));
    EXPECT_FALSE(fs::exists(home / "Task-1.tsf"));

    EXPECT_EQ(run(home, {"--home", (home / "made" / "here").string(), "list"}).status, 0);
    EXPECT_TRUE(fs::is_directory(home / "made" / "here")) << "a missing home is made";
    for (const auto& [arguments, text] :
         {std::pair<std::vector<std::string>, std::string>{{"--help"}, "resume [NAME...]"},
          {{"get", "--help"}, "--levels N|infinity"},
          {{"--version"}, "quillharbor-cli "}}) {
        ran = run(home, arguments);
        EXPECT_EQ(ran.status, 0);
        EXPECT_THAT(ran.out, HasSubstr(text));
    }

    const fs::path locked = newHome("locked");
    Result<ProgramDirectoryLock> held = ProgramDirectoryLock::acquire(locked.string() + "/");
    ASSERT_TRUE(held.ok());
    ran = run(locked, {"set", "Default.DownloadFrom=3"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_THAT(ran.err, HasSubstr("is in use by process " + std::to_string(::getpid())));
    EXPECT_FALSE(fs::exists(locked / "Quillharbor.ini"));
}

TEST_F(CliTest, SettingsAreChangedInTheConfigurationFile) {
    const fs::path home = newHome("settings");
    Ran ran = run(home, {"set", "default.downloadfrom=3"});
    ASSERT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out, "Default.DownloadFrom=3\n");
    ASSERT_EQ(run(home, {"set", "General.HTTPProxyPassword=s3cret"}).status, 0);
    ran = run(home, {"settings"});
    ASSERT_EQ(ran.status, 0);
    EXPECT_THAT(ran.out, HasSubstr("\nDefault.DownloadFrom=3\n"));
    EXPECT_THAT(ran.out, HasSubstr("\nGeneral.HTTPProxyPassword=(set)\n"));
    EXPECT_THAT(ran.out, HasSubstr("\nGeneral.TaskRoot=" + home.string() + "/My Downloads/\n"));
    EXPECT_THAT(readText(home / "Quillharbor.ini"), HasSubstr("DownloadFrom=3\r\n"));
}

// The tree of a grab over kept connections (--keep-alive holds for its run only) is the tree of
// a grab interrupted half-way and resumed, and of one whose responses were cut mid-body once.
TEST_F(CliTest, ResumedGrabsEndWithTheTreeOfAWholeOne) {
    const fs::path whole = newHome("whole");
    ASSERT_EQ(run(whole, {"get", url("/site/index.html"), "-l", "infinity", "--keep-alive"}).status,
              0);
    const auto wholeTree = task(whole, "Task-1");
    EXPECT_EQ(namesOf(wholeTree), kSiteFiles);
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/index.html HTTP/1.1 "));
    EXPECT_THAT(readText(whole / "Quillharbor.ini"), HasSubstr("KeepAlive=0\r\n"));

    const fs::path home = newHome("interrupted");
    // One slow slot, so that the interrupt comes half-way.
    ASSERT_EQ(run(home, {"set", "General.MaxHTTPConns=1"}).status, 0);
    ASSERT_EQ(run(home, {"set", "General.Pause=1000"}).status, 0);
    auto grab = start(home, {"get", url("/site/index.html"), "--levels", "infinity", "--verbose"});
    ASSERT_TRUE(grab->waitForOutput("retrieved  ", 3)) << grab->output();
    grab->signal(SIGINT);
    ASSERT_EQ(grab->wait(), 130) << grab->output() << grab->errors();
    EXPECT_THAT(grab->output(), HasSubstr("Task Task-1 interrupted: "));
    EXPECT_THAT(grab->output(), HasSubstr("Continue with: quillharbor-cli --home '"));
    Ran ran = run(home, {"list"});
    EXPECT_THAT(ran.out, HasSubstr("Task-1 (stopped)"));
    EXPECT_THAT(ran.out, Not(HasSubstr("Files queued: 0\n")));
    const auto partial = task(home, "Task-1");
    EXPECT_GE(partial.size(), 3u);
    EXPECT_LT(partial.size(), kSiteFiles.size());
    ASSERT_EQ(run(home, {"set", "General.Pause=0"}).status, 0);
    ASSERT_EQ(run(home, {"resume"}).status, 0);
    EXPECT_EQ(task(home, "Task-1"), wholeTree);
    ran = run(home, {"resume"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_THAT(ran.out, HasSubstr("Nothing to resume."));

    // A reverse proxy in front of nginx cuts a page and an image once each after half their
    // bodies.
    ServerProcess cutting;
    const std::uint16_t port = freePort();
    ASSERT_TRUE(cutting.start(
        {"/usr/bin/python3", serverScript("http_cutting_proxy.py"), std::to_string(port),
         std::to_string(s_port), "/site/docs/guide.html", "/site/gallery/photos/harbor.png"},
        port, (*s_work / "cutting.out").string()));
    const std::string cut = "http://127.0.0.1:" + std::to_string(port);
    const fs::path cutHome = newHome("cut-once");
    ran = run(cutHome, {"get", cut + "/site/index.html", "--levels", "infinity"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_THAT(ran.out, HasSubstr("Failed objects (2):\n"));
    EXPECT_THAT(ran.out, HasSubstr("  incomplete (165 of 330 bytes)  " + cut +
                                   "/site/docs/guide.html  (incomplete, task Task-1)\n"));
    EXPECT_THAT(ran.out, HasSubstr("  incomplete (78 of 157 bytes)  " + cut +
                                   "/site/gallery/photos/harbor.png  (incomplete, task Task-1)\n"));
    EXPECT_THAT(ran.out, Not(HasSubstr("Task Task-1 finished: 14 files read")));
    ASSERT_EQ(run(cutHome, {"resume"}).status, 0);
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/docs/guide.html HTTP/1.0 \"bytes=165-330\" 206"));
    // The trees alike but for the server's address in their absolute links.
    auto resumed = task(cutHome, "Task-1");
    for (auto& [name, bytes] : resumed) {
        for (auto at = bytes.find(cut); at != std::string::npos; at = bytes.find(cut)) {
            bytes.replace(at, cut.size(), url(""));
        }
    }
    EXPECT_EQ(resumed, wholeTree);
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
    Ran ran = run(home, {"list"});
    EXPECT_THAT(ran.out, HasSubstr("Task-1 (stopped)"));
    EXPECT_THAT(ran.out, HasSubstr("Files queued: 1\n"));
    ran = run(home, {"resume", "Task-1"});
    ASSERT_EQ(ran.status, 0) << ran.out;
    EXPECT_EQ(fs::file_size(file), kBigFileSize);
    EXPECT_THAT(accessLog(), HasSubstr("GET /big/big.bin HTTP/1.0 \"bytes=" + std::to_string(cut) +
                                       "-" + std::to_string(kBigFileSize) + "\" 206"))
        << "the partial file is continued, not fetched again";
}

// Its own folder, its own user agent, robots ignored, and a JSON line per object on standard
// output, the report on standard error.
TEST_F(CliTest, OwnFolderOwnAgentAndNoRobotsReachThePrivatePageInJsonLines) {
    const fs::path home = newHome("options");
    const fs::path folder = home / "elsewhere" / "site";
    Ran ran = run(home, {"get", url("/site/index.html"), "--levels", "1", "--no-robots", "-U",
                         "QuillTest/2.0 (\"quoted\")", "--json", "-P", folder.string()});
    ASSERT_EQ(ran.status, 0) << ran.out << ran.err;
    EXPECT_EQ(treeOf(folder).count("secret.html"), 1u);
    EXPECT_FALSE(fs::exists(home / "My Downloads" / "Task-1"));
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/private/secret.html HTTP/1.0 \"-\" 200"));
    EXPECT_THAT(accessLog(), HasSubstr("\"QuillTest/2.0 (\\x22quoted\\x22)\""));
    std::istringstream lines(ran.out);
    int objects = 0;
    for (std::string line; std::getline(lines, line); ++objects) {
        EXPECT_TRUE(line.starts_with("{\"task\":\"Task-1\",\"url\":\"http://")) << line;
        EXPECT_TRUE(line.ends_with("}")) << line;
    }
    EXPECT_GT(objects, 5);
    EXPECT_THAT(ran.out,
                HasSubstr("{\"task\":\"Task-1\",\"url\":\"" + url("/site/private/secret.html") +
                          "\",\"state\":\"retrieved\",\"status\":200,\"file\":\"" +
                          (folder / "secret.html").string() + "\",\"bytes\":"));
    EXPECT_THAT(ran.err, HasSubstr("Task Task-1 finished: "));
    EXPECT_THAT(run(home, {"list", "--json"}).out,
                HasSubstr("\"directory\":\"" + folder.string() + "/\""));
}

// The grab is stopped while it waits for its start, so everything it takes comes in the resume,
// with the expressions read back from beside the task file.
TEST_F(CliTest, IncludeAndExcludeRefuseTheirLinksAlsoAfterAResume) {
    const fs::path home = newHome("filtered");
    auto waiting =
        start(home, {"get", url("/site/index.html"), "--levels", "infinity", "--start-after", "1",
                     "--include", "\\.html$", "--exclude", "/gallery/"});
    ASSERT_TRUE(waiting->waitForOutput("Task Task-1: ", 1)) << waiting->output();
    waiting->signal(SIGINT);
    ASSERT_EQ(waiting->wait(), 130) << waiting->output() << waiting->errors();
    EXPECT_THAT(readText(home / "Task-1.tsf-options"),
                HasSubstr("Include=\\\\.html$\r\nExclude=/gallery/\r\n"))
        << "a backslash is written doubled";

    const Ran ran = run(home, {"resume", "-v"});
    ASSERT_EQ(ran.status, 0) << ran.out;
    for (const char* refused : {"/site/images/logo.png", "/site/gallery/gallery.html"}) {
        EXPECT_THAT(ran.out, HasSubstr("refused by --include/--exclude  " + url(refused)));
    }
    EXPECT_THAT(ran.out, HasSubstr("Task Task-1 refused 2 links by --include/--exclude\n"));
    const auto tree = task(home, "Task-1");
    EXPECT_EQ(tree.count("about.html") + tree.count("reference.html"), 2u);
    EXPECT_EQ(tree.count("gallery.html") + tree.count("logo.png") + tree.count("quill.gif"), 0u);
}

// A lower bound only: a loaded machine makes the grab slower, never faster.
TEST_F(CliTest, ByteRateStretchesAMegabyteOverFourSecondsAtLeast) {
    const fs::path file = *s_work / "www" / "rate" / "one.bin";
    fs::create_directories(file.parent_path());
    std::ofstream(file).close();
    fs::resize_file(file, 1u << 20);
    const fs::path home = newHome("rate");
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(run(home, {"get", url("/rate/one.bin"), "--limit-rate", "200k"}).status, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
    EXPECT_EQ(fs::file_size(home / "My Downloads" / "Task-1" / "one.bin"), 1u << 20);
}

}  // namespace
}  // namespace quillharbor::test
