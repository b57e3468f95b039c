// The built quillharbor-cli against nginx, pyftpdlib, vsftpd, ftp-proxy and a cutting proxy on
// loopback: grabs and their options, failures in words, usage errors, progress output, and grabs
// interrupted or cut and resumed.

#include <gmock/gmock.h>

#include <random>

#include "cli/cli_fixture.h"
#include "engine/grab_checks.h"
#include "net/ftp_servers.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/percent_encoding.h"
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
constexpr const char* kBrokenPages[] = {"docs/usage.html", "blog/2024/second-post.html"};
// A link of 9,000 bytes on the broken copy's first page: too long to be followed.
const std::string kLongLink = "long-" + std::string(8995, 'x');

std::vector<std::string> namesOf(const std::map<std::string, std::string>& tree) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : tree) names.push_back(name);
    return names;
}

struct Ran {
    int status;
    std::string out;
    std::string err;
};

// nginx's tree holds the example site whole under /site/ and under /broken/ without two of its
// pages and with an overlong link.
class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path root = servers().root;
        const fs::path site = fs::path(QUILLHARBOR_SOURCE_DIR) / "examples" / "site";
        fs::copy(site, root / "site", fs::copy_options::recursive);
        fs::copy(site, root / "broken", fs::copy_options::recursive);
        for (const char* page : kBrokenPages) fs::remove(root / "broken" / page);
        std::ofstream(root / "broken" / "index.html", std::ios::app)
            << "<a href=\"" << kLongLink << "\">long</a>\n";
        // robots.txt is read from the server's root only.
        std::ofstream(root / "robots.txt")
            << "User-agent: *\nDisallow: /site/private/\nDisallow: /broken/private/\n";
        ASSERT_TRUE(servers().startNginx());
    }
    static HttpServers& servers() { return HttpServers::instance(); }
    static std::string url(const std::string& path) {
        return HttpServers::at(servers().nginxPort, path);
    }
    static fs::path newHome(const std::string& name) { return made(servers().work / name); }
    static std::unique_ptr<ProgramRun> start(const fs::path& home,
                                             std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--home", home.string()});
        return std::make_unique<ProgramRun>(servers().work.path(), std::move(arguments));
    }
    // Interrupts the run once its output holds text; whether it then ended with status 130.
    static bool interrupt(ProgramRun& program, const std::string& text) {
        const bool seen = text.empty() || program.waitForOutput(text);
        program.signal(SIGINT);
        return seen && program.wait() == 130;
    }
    static Ran run(const fs::path& home, std::vector<std::string> arguments) {
        auto program = start(home, std::move(arguments));
        const int status = program->wait();
        return {status, program->output(), program->errors()};
    }
    // Runs each row in home in turn: its exit status, texts its output (or errors) hold and
    // texts its output does not hold. Returns the last run.
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> out = {};
        std::vector<std::string> err = {};
        std::vector<std::string> notOut = {};
    };
    static Ran expectRuns(const fs::path& home, const std::vector<Row>& rows) {
        Ran ran;
        for (const Row& row : rows) {
            SCOPED_TRACE(row.arguments.empty() ? ""
                                               : row.arguments[0] + " " + row.arguments.back());
            ran = run(home, row.arguments);
            EXPECT_EQ(ran.status, row.status) << ran.out << ran.err;
            for (const std::string& text : row.out) EXPECT_THAT(ran.out, HasSubstr(text));
            for (const std::string& text : row.err) EXPECT_THAT(ran.err, HasSubstr(text));
            for (const std::string& text : row.notOut) EXPECT_THAT(ran.out, Not(HasSubstr(text)));
        }
        return ran;
    }
    static std::map<std::string, std::string> task(const fs::path& home, const std::string& name) {
        return treeOf((home / "My Downloads" / name).string());
    }
};

TEST_F(CliTest, GrabsListsSettingsAndFailuresInOneProgramDirectory) {
    const fs::path home = newHome("grab");
    // Off a terminal, progress is plain lines: nothing drawn in place.
    const Ran ran =
        expectRuns(home, {{{"get", url("/site/index.html"), "--levels", "infinity", "--verbose"},
                           0,
                           {"retrieved  " + url("/site/about.html") + " -> about.html\n",
                            "excluded by robots.txt  " + url("/site/private/secret.html"),
                            "Task Task-1 is finished.\n", "Task Task-1 finished: 14 files read"},
                           {},
                           {"\r", "\x1b"}}});
    EXPECT_EQ(ran.err, "");
    const auto tree = task(home, "Task-1");
    const std::string logo =
        contentsOf(fs::path(QUILLHARBOR_SOURCE_DIR) / "examples/site/images/logo.png");
    EXPECT_EQ(namesOf(tree), kSiteFiles) << "the private page is excluded by robots.txt";
    EXPECT_EQ(tree.at("logo.png"), logo);

    // A task file that is not sound is reported as an error and left alone.
    std::ofstream(home / "broken.tsf") << "# Download Task file v 0.0.1 \r\n";
    expectRuns(home,
               {{{"list"},
                 1,  // the list lacks that task
                 {"Task-1 (finished)\n  URL: " + url("/site/index.html"), "  Files queued: 0\n",
                  "  Download from " + url("/site/") + "\n", "  Max levels: infinity\n"},
                 {"cannot load the task file '" + (home / "broken.tsf").string()}},
                {{"resume"}, 1}});
    EXPECT_EQ(contentsOf(home / "broken.tsf"), "# Download Task file v 0.0.1 \r\n");
    fs::remove(home / "broken.tsf");

    const std::string longUrl = url("/broken/") + kLongLink;
    expectRuns(
        home,
        {{{"get", url("/site/about.html"), "--levels", "0", "--name", "again",
           "--no-rewrite-links"},
          0},
         {{"remove", "again"}, 0, {"Removed task again; its files stay in"}},
         {{"get", url("/site/index.html"), "--files", "3", "--name", "few"},
          0,
          {"Task few stopped at the file limit of 3: raise it with --files\n"}},
         // A second grab of the site copies the first one's files and follows their links.
         {{"get", url("/site/index.html"), "-l", "infinity", "--name", "twice"}, 0},
         // Missing pages and an overlong link: status 1, each listed with its reason.
         {{"get", url("/broken/index.html"), "--levels", "infinity", "--verbose", "--name",
           "missing"},
          1,
          {"dropped a link of " + std::to_string(longUrl.size()) + " bytes (" +
               longUrl.substr(0, 60) + "...) in " + url("/broken/index.html") +
               ": longer than 8192 bytes\n",
           "Failed objects (2):\n",
           "  404 Not Found  " + url("/broken/") + kBrokenPages[0] + "  (protocol error",
           "  404 Not Found  " + url("/broken/") + kBrokenPages[1] + "  (protocol error"}},
         // A redirect to itself stays failed for resume: only the user's retry asks again.
         {{"get", url("/loop.html"), "--name", "loop"},
          1,
          {"  802 too many redirects  " + url("/loop.html") + "  (protocol error, task loop)\n"}},
         {{"resume", "loop"}, 0, {"Nothing to resume."}},
         {{"set", "default.downloadfrom=3"}, 0, {"Default.DownloadFrom=3\n"}},
         {{"set", "General.HTTPProxyPassword=s3cret"}, 0},
         {{"settings"},
          0,
          {"\nDefault.DownloadFrom=3\n", "\nGeneral.HTTPProxyPassword=(set)\n",
           "\nGeneral.TaskRoot=" + home.string() + "/My Downloads/\n"}}});
    EXPECT_FALSE(fs::exists(home / "again.tsf"));
    EXPECT_TRUE(fs::exists(home / "My Downloads" / "again"));
    EXPECT_EQ(namesOf(task(home, "twice")), kSiteFiles);
    EXPECT_EQ(task(home, "missing").count("install.html"), 1u) << "the other pages still came";
    EXPECT_THAT(servers().accessLog(), Not(HasSubstr("GET /broken/long-")));
    EXPECT_EQ(occurrences(servers().accessLog(), "GET /loop.html "), 21)
        << "the first request and 20 redirects";
    EXPECT_THAT(contentsOf(home / "Quillharbor.ini"), HasSubstr("DownloadFrom=3\r\n"));
    EXPECT_EQ(run(home, {"--quiet", "get", url("/site/contact.html"), "-l", "0"}).out, "")
        << "--quiet prints nothing but failures";

    // Its own folder, its own user agent, robots ignored, and a JSON line per object on standard
    // output, the report on standard error.
    const fs::path folder = home / "elsewhere" / "site";
    const Ran json = expectRuns(
        home, {{{"get", url("/site/index.html"), "--levels", "1", "--no-robots", "-U",
                 "QuillTest/2.0 (\"quoted\")", "--json", "-P", folder.string(), "--name", "own"},
                0,
                {"{\"task\":\"own\",\"url\":\"" + url("/site/private/secret.html") +
                 "\",\"state\":\"retrieved\",\"status\":200,\"file\":\"" +
                 (folder / "secret.html").string() + "\",\"bytes\":"},
                {"Task own finished: "}}});
    EXPECT_FALSE(fs::exists(home / "My Downloads" / "own"));
    EXPECT_THAT(servers().accessLog(),
                HasSubstr("GET /site/private/secret.html HTTP/1.0 \"-\" 200"));
    EXPECT_THAT(servers().accessLog(), HasSubstr("\"QuillTest/2.0 (\\x22quoted\\x22)\""));
    std::istringstream lines(json.out);
    int objects = 0;
    for (std::string line; std::getline(lines, line); ++objects) {
        EXPECT_TRUE(line.starts_with("{\"task\":\"own\",\"url\":\"http://") && line.ends_with("}"))
            << line;
    }
    EXPECT_GT(objects, 5);
    expectRuns(home, {{{"list", "--json"}, 0, {"\"directory\":\"" + folder.string() + "/\""}}});
}

// A refused certificate and the FTP failures are worded; a task may skip the certificate check.
// FTP links of a page are followed when asked, and the proxy setting sends FTP through ftp-proxy.
TEST_F(CliTest, FtpGrabsAndFailuresInWords) {
    FtpServers& ftp = FtpServers::instance();
    ASSERT_TRUE(ftp.startVsftpd() && ftp.startProxy());
    const std::uint16_t expired = TlsServers::instance().start("expired");
    ASSERT_NE(expired, 0);
    const std::string page = TlsServers::https(expired, "/index.html");
    const std::string site = "ftp://127.0.0.1:" + std::to_string(ftp.pyftpdlibPort);
    const std::string closed = "ftp://127.0.0.1:" + std::to_string(freePort()) + "/file.bin";
    std::ofstream(servers().root + "/ftp-links.html")
        << "<a href=\"" << site << "/pub/file.bin\">1</a><a href=\"" << site
        << "/other/file.bin\">2</a>";
    const fs::path home = newHome("failures");
    const auto get = [](const std::string& target, std::vector<std::string> more) {
        more.insert(more.begin(),
                    {"get", target, "--ftp-user", "anna", "--ftp-password", "secret"});
        return more;
    };
    expectRuns(home, {{get(page, {"--levels", "0"}), 1, {"  804 certificate expired  " + page}}});
    EXPECT_TRUE(treeOf((home / "My Downloads").string()).empty()) << "nothing is written";
    // One FTP slot: pyftpdlib stalls now and then with two active-mode sessions at once (see
    // the FTP slot test).
    expectRuns(
        home,
        {{{"set", "General.MaxFTPConns=1"}, 0},
         {get(page, {"--levels", "0", "-k"}), 0},
         {get(site + "/pub/file.bin", {}), 0},
         {get(site + "/pub/missing.bin", {}),
          1,
          {"  550 file not available  " + site + "/pub/missing.bin  (FTP error, task Task-4)"}},
         {get(closed, {}), 1, {"  500 connection refused  " + closed + "  (FTP error"}},
         // A directory URL grabs the tree below it; its listing is the first page.
         {get(site + "/tree/", {"-l", "infinity"}), 0},
         {get(url("/ftp-links.html"), {"--follow-ftp"}), 0}});
    EXPECT_EQ(task(home, "Task-2").size(), 1u);
    EXPECT_EQ(task(home, "Task-3")["file.bin"], pattern(FtpServers::FileSize));
    auto tree = task(home, "Task-6");
    EXPECT_EQ(tree["a&b.bin"], pattern(2000, 2000)) << namesOf(tree).size();
    EXPECT_EQ(tree["100%.txt"], pattern(300, 300));
    EXPECT_THAT(tree["Starting Document.html"], HasSubstr("with%20space.txt\""));
    EXPECT_EQ(task(home, "Task-7").size(), 3u);

    const fs::path proxied = newHome("proxied");
    std::ofstream(proxied / "Quillharbor.ini")
        << "[General]\nHTTPS=0\nUseFTPProxy=1\nFTPProxyName=127.0.0.1:" << ftp.proxyPort << "\n";
    expectRuns(proxied,
               {{{"get", page}, 2, {}, {"HTTPS is turned off"}},
                {{"get", "ftp://127.0.0.1:" + std::to_string(ftp.vsftpdPort) + "/other/file.bin",
                  "--ftp-user", "anonymous"},
                 0}});
    EXPECT_EQ(task(proxied, "Task-1")["file.bin"], pattern(5000, 7));
}

// Usage errors end with status 2 and change nothing; so does a directory in use.
TEST_F(CliTest, UsageErrorsEndWithStatusTwo) {
    const fs::path home = newHome("usage");
    std::ofstream(home / "a-file") << "not a directory";
    const std::string aFile = (home / "a-file").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given"},
        {{"fetch"}, "unknown command 'fetch'"},
        {{"get"}, "'get' needs a URL"},
        {{"get", "mailto:harbour@example.org"}, "is not an http://, https:// or ftp:// URL"},
        {{"get", "http://"}, "names no host"},
        {{"get", url("/"), "--levels", "101"},
         "--levels takes a whole number from 0 to 100, or infinity"},
        {{"get", url("/"), "--extensions", "gif jpg"}, ""},
        {{"get", url("/"), "--from"}, "--from needs a value"},
        {{"get", url("/"), "--output=" + aFile}, "Cannot create task directory " + aFile},
        {{"get", url("/"), "--name", "../escape"}, ""},
        {{"resume", "nothing-here"}, ""},
        {{"remove"}, ""},
        {{"--home", aFile, "list"}, "is not a directory"},
        {{"set", "General.MaxHTTPConns=70000"}, "it would read as '4464'"},
        {{"set", "General.NoSuchKey=1"}, ""},
    };
    for (const auto& [arguments, error] : cases) expectRuns(home, {{arguments, 2, {}, {error}}});
    EXPECT_FALSE(fs::exists(home / "Task-1.tsf"));
    EXPECT_FALSE(fs::exists(home / "My Downloads"));

    // A task directory that cannot be made: the task is refused and nothing is written.
    expectRuns(
        home,
        {{{"set", "General.TaskRoot=a-file/below"}, 0},
         {{"get", url("/site/index.html")},
          2,
          {},
          {"Cannot create task directory " + aFile + "/below/Task-1/. Task Task-1 is not started"}},
         {{"--home", (home / "made" / "here").string(), "list"}, 0},
         {{"--help"}, 0, {"resume [NAME...]"}},
         {{"get", "--help"}, 0, {"--levels N|infinity"}},
         {{"--version"}, 0, {"quillharbor-cli "}}});
    EXPECT_FALSE(fs::exists(home / "Task-1.tsf"));
    EXPECT_TRUE(fs::is_directory(home / "made" / "here")) << "a missing home is made";

    const fs::path locked = newHome("locked");
    Result<ProgramDirectoryLock> held = ProgramDirectoryLock::acquire(locked.string() + "/");
    ASSERT_TRUE(held.ok());
    expectRuns(locked, {{{"set", "Default.DownloadFrom=3"},
                         2,
                         {},
                         {"is in use by process " + std::to_string(::getpid())}}});
    EXPECT_FALSE(fs::exists(locked / "Quillharbor.ini"));
}

// On a terminal 50 columns wide, progress is one live line, cut short of the last column, drawn
// again below each line printed above it. The grab is for offline reading: with the pages'
// requisites, in the site's own folders.
TEST_F(CliTest, ProgressOnATerminalIsOneLiveLineCutToItsWidth) {
    const fs::path home = newHome("terminal");
    ProgramRun program(servers().work.path(),
                       {"--home", home.string(), "get", url("/site/index.html"), "--levels", "1",
                        "--requisites", "--layout", "site"},
                       50);
    ASSERT_EQ(program.wait(), 0) << program.output();
    const std::string screen = program.output();
    EXPECT_THAT(screen, HasSubstr("\r\x1b[KTask Task-1 is finished.\r\n\r\x1b[KTask-1: "));
    std::size_t longest = 0, drawn = 0;
    for (auto at = screen.find("\x1b[K"); at != std::string::npos;
         at = screen.find("\x1b[K", at + 1), ++drawn) {
        const std::size_t end = screen.find_first_of("\r\n", at);
        longest = std::max(longest, (end == std::string::npos ? screen.size() : end) - at - 3);
    }
    EXPECT_GT(drawn, 1u);
    EXPECT_LE(longest, 49u) << "the live line never reaches the last column";
    auto tree = task(home, "Task-1/127.0.0.1-" + std::to_string(servers().nginxPort) + "/site");
    EXPECT_THAT(tree["index.html"], HasSubstr("<img src=\"images/logo.png\""));
    EXPECT_EQ(tree.count("images/logo.png") + tree.count("gallery/photos/harbor.png"), 2u)
        << "a requisite of the last level's page comes too";
}

// The tree of a grab over kept connections (--keep-alive holds for its run only) is the tree of
// a grab interrupted half-way and resumed, of one whose responses were cut mid-body once, and of
// one whose include and exclude expressions, read back from beside the task file, refuse links.
TEST_F(CliTest, InterruptedAndCutGrabsResumeToTheTreeOfAWholeOne) {
    const fs::path whole = newHome("whole");
    expectRuns(whole, {{{"get", url("/site/index.html"), "-l", "infinity", "--keep-alive"}, 0}});
    const auto wholeTree = task(whole, "Task-1");
    EXPECT_EQ(namesOf(wholeTree), kSiteFiles);
    EXPECT_THAT(servers().accessLog(), HasSubstr("GET /site/index.html HTTP/1.1 "));
    EXPECT_THAT(contentsOf(whole / "Quillharbor.ini"), HasSubstr("KeepAlive=0\r\n"));

    // One slow slot, so that the interrupt comes half-way.
    const fs::path home = newHome("interrupted");
    expectRuns(home, {{{"set", "General.MaxHTTPConns=1"}, 0}, {{"set", "General.Pause=1000"}, 0}});
    auto grab = start(home, {"get", url("/site/index.html"), "--levels", "infinity", "--verbose"});
    // Right after the first page, while its links wait for robots.txt: the resumed grab must
    // still ask for the rules before it fetches them.
    ASSERT_TRUE(interrupt(*grab, "retrieved  ")) << grab->output() << grab->errors();
    EXPECT_THAT(grab->output(), HasSubstr("Task Task-1 interrupted: "));
    EXPECT_THAT(grab->output(), HasSubstr("Continue with: quillharbor-cli --home '"));
    EXPECT_THAT(run(home, {"list"}).out, HasSubstr("Task-1 (stopped)"));
    EXPECT_LT(task(home, "Task-1").size(), kSiteFiles.size());
    expectRuns(home, {{{"set", "General.Pause=0"}, 0},
                      {{"resume"}, 0},
                      {{"resume"}, 0, {"Nothing to resume."}}});
    EXPECT_EQ(task(home, "Task-1"), wholeTree);

    // A reverse proxy in front of nginx cuts a page and an image once each after half their bodies.
    const std::uint16_t port = servers().loopback.start(
        "cutting",
        LoopbackServers::script("http_cutting_proxy.py",
                                {std::to_string(servers().nginxPort), "/site/docs/guide.html",
                                 "/site/gallery/photos/harbor.png"}));
    const std::string cut = HttpServers::at(port, "");
    const fs::path cutHome = newHome("cut-once");
    expectRuns(cutHome, {{{"get", cut + "/site/index.html", "--levels", "infinity"},
                          1,
                          {"Failed objects (2):\n",
                           "  incomplete (165 of 330 bytes)  " + cut +
                               "/site/docs/guide.html  (incomplete, task Task-1)\n",
                           "  incomplete (78 of 157 bytes)  " + cut +
                               "/site/gallery/photos/harbor.png  (incomplete, task Task-1)\n"}},
                         {{"resume"}, 0}});
    EXPECT_THAT(servers().accessLog(),
                HasSubstr("GET /site/docs/guide.html HTTP/1.0 \"bytes=165-330\" 206"));
    EXPECT_EQ(treeOf((cutHome / "My Downloads" / "Task-1").string(), cut, url("")), wholeTree);

    // Stopped while it waits for its start, so everything it takes comes in the resume.
    const fs::path filtered = newHome("filtered");
    auto waiting =
        start(filtered, {"get", url("/site/index.html"), "--levels", "infinity", "--start-after",
                         "1", "--include", "\\.html$", "--exclude", "/gallery/"});
    ASSERT_TRUE(interrupt(*waiting, "Task Task-1: ")) << waiting->output() << waiting->errors();
    EXPECT_THAT(contentsOf(filtered / "Task-1.tsf-options"),
                HasSubstr("Include=\\\\.html$\r\nExclude=/gallery/\r\n"))
        << "a backslash is written doubled";
    expectRuns(filtered, {{{"resume", "-v"},
                           0,
                           {"refused by --include/--exclude  " + url("/site/images/logo.png"),
                            "refused by --include/--exclude  " + url("/site/gallery/gallery.html"),
                            "Task Task-1 refused 2 links by --include/--exclude\n"}}});
    const auto tree = task(filtered, "Task-1");
    EXPECT_EQ(tree.count("about.html") + tree.count("reference.html"), 2u);
    EXPECT_EQ(tree.count("gallery.html") + tree.count("logo.png") + tree.count("quill.gif"), 0u);
}

// A byte rate holds a megabyte back for four seconds at least (a lower bound only: a loaded
// machine makes the grab slower, never faster). An interrupt cuts the transfer, and the resume
// continues its file with a range.
TEST_F(CliTest, ARatedTransferCutByAnInterruptIsContinuedWithARange) {
    const fs::path home = newHome("rate");
    const fs::path file = home / "My Downloads" / "Task-1" / "one.bin";
    std::ofstream(made(servers().root + "/rate") + "/one.bin").close();
    fs::resize_file(servers().root + "/rate/one.bin", 1u << 20);
    const auto began = std::chrono::steady_clock::now();
    auto grab = start(home, {"get", url("/rate/one.bin"), "--limit-rate", "200k"});
    std::error_code missing;
    eventually([&] { return fs::file_size(file, missing) > 0 && !missing; });
    ASSERT_TRUE(interrupt(*grab, "")) << grab->output() << grab->errors();
    EXPECT_THAT(grab->output(), Not(HasSubstr("is finished.")));
    const std::uintmax_t cut = fs::file_size(file);
    expectRuns(home, {{{"list"}, 0, {"Task-1 (stopped)", "Files queued: 1\n"}},
                      {{"resume", "Task-1"}, 0}});
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
    EXPECT_EQ(fs::file_size(file), 1u << 20);
    EXPECT_THAT(
        servers().accessLog(),
        HasSubstr("GET /rate/one.bin HTTP/1.0 \"bytes=" + std::to_string(cut) + "-1048576\" 206"))
        << "the partial file is continued, not fetched again";
}

// A generated site of a few hundred pages grabbed whole with fast dispatch over kept connections,
// its pages left with local links; then grabbed again, killed with SIGKILL at random moments
// and resumed after each kill: after every kill the task loads and a look at it changes no
// file, and the end is the tree of the whole grab.
TEST_F(CliTest, ResumesAfterKillsEndWithTheTreeOfAnUninterruptedGrab) {
    constexpr int kPages = 300;
    constexpr int kKills = 10;
    const std::string root = made(servers().work / "generated");
    ASSERT_TRUE(generateSite(root, kPages));
    const fs::path logs = made(servers().work / "generated-nginx");
    const std::uint16_t port = servers().loopback.start(
        "generated-nginx", LoopbackServers::script("http_nginx.py", {logs.string(), root}));
    ASSERT_NE(port, 0);
    const std::vector<std::string> get = {"get",      HttpServers::at(port, "/site/index.html"),
                                          "--levels", "infinity",
                                          "--files",  "infinity",
                                          "--name",   "site"};
    const fs::path whole = newHome("whole-generated");
    // The site's deliberately broken links end every whole grab with status 1: its missing
    // pages, each a 404.
    std::vector<std::string> fastGet = get;
    fastGet.insert(fastGet.end(), {"--fast", "--keep-alive"});
    const Ran grabbed = expectRuns(whole, {{{"set", "General.MaxHTTPConns=16"}, 0}, {fastGet, 1}});
    const auto uninterrupted = task(whole, "site");
    const Manifest manifest(root);
    EXPECT_EQ(occurrences(grabbed.out, "  404 Not Found  "), std::ssize(manifest.missing));

    // Every file saved (with an error page for each missing one), robots.txt obeyed, and each
    // slot keeping its connection from file to file: a redirect or an error page without a
    // short length costs a new one.
    std::set<std::string> errorPages, elsewhere;
    for (const std::string& path : manifest.missing) {
        elsewhere.insert(HttpServers::at(port, path));
        errorPages.insert(path.substr(path.rfind('/') + 1));
    }
    for (const std::string& path : manifest.disallowed) {
        elsewhere.insert(HttpServers::at(port, path));
    }
    EXPECT_EQ(uninterrupted.size(), manifest.files.size() + errorPages.size() + 1);
    const std::string log = contentsOf(logs / "access.log");
    EXPECT_THAT(log, HasSubstr("GET /robots.txt "));
    EXPECT_THAT(log, Not(HasSubstr("/site/private/")));
    EXPECT_EQ(occurrences(log, " HTTP/1.0 "), 0);
    EXPECT_LE(connectionsIn(log).size(), 16u * 3);
    // Every link left in a saved page, resolved as a browser resolves it (a base element
    // included), either names a saved file that is no error page or is absolute and names
    // something never retrieved: a missing or a disallowed page.
    const std::string here = "http://local.invalid/";
    int localLinks = 0;
    for (const auto& [name, bytes] : uninterrupted) {
        std::vector<std::string> links;
        if (name.ends_with(".html"))
            ExtractLinks(HtmlBuffer(bytes), links, false, here + "page.html");
        for (const std::string& link : links) {
            const std::string target = link.substr(0, link.find('#'));
            const std::string file =
                PercentDecode(target.substr(std::min(here.size(), target.size())));
            localLinks += target.starts_with(here) ? 1 : 0;
            EXPECT_TRUE(target.starts_with(here)
                            ? uninterrupted.contains(file) && !errorPages.contains(file)
                            : elsewhere.contains(target))
                << name << " keeps " << link;
        }
    }
    EXPECT_GT(localLinks, kPages * 4);

    const fs::path home = newHome("killed");
    // Four slots start at most 20 objects a second, so kills within 0.6 s of a start land before
    // the last of some 370 objects.
    expectRuns(home, {{{"set", "General.MaxHTTPConns=4"}, 0}});
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(100, 600);
    for (int kill = 0; kill < kKills; ++kill) {
        auto program = start(home, kill == 0 ? get : std::vector<std::string>{"resume"});
        eventually([&] { return fs::exists(home / "site.tsf"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        program->signal(SIGKILL);
        ASSERT_EQ(program->wait(), 128 + SIGKILL) << "kill " << kill << program->output();
        const auto killed = task(home, "site");
        const Ran listed = run(home, {"list"});
        EXPECT_EQ(listed.status, 0);
        EXPECT_THAT(listed.out, HasSubstr("site (stopped)")) << "kill " << kill << listed.out;
        EXPECT_TRUE(task(home, "site") == killed) << "listing changed a file after kill " << kill;
    }
    expectRuns(home, {{{"set", "General.MaxHTTPConns=16"}, 0}, {{"resume"}, 1}});
    EXPECT_TRUE(task(home, "site") == uninterrupted);
}

}  // namespace
}  // namespace quillharbor::test
