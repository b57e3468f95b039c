// The options of one grab against nginx on loopback: its own folder, its own user agent, robots
// ignored, links refused by expressions also after a resume, JSON lines and a byte rate.

#include <gmock/gmock.h>

#include "cli/cli_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(CliTest, OutputFolderIsMadeForTheTaskAndAFileInTheWayIsRefused) {
    const fs::path home = newHome("output");
    const fs::path folder = home / "elsewhere" / "about";
    std::string out;
    std::string err;
    ASSERT_EQ(run(home, {"get", url("/site/about.html"), "-l0", "-P", folder.string()}, &out), 0)
        << out;
    EXPECT_EQ(treeOf(folder).count("Starting Document.html"), 1u);
    EXPECT_FALSE(fs::exists(home / "My Downloads" / "Task-1"));
    ASSERT_EQ(run(home, {"list", "--json"}, &out), 0);
    EXPECT_THAT(out, HasSubstr("\"directory\":\"" + folder.string() + "/\""));

    std::ofstream(home / "a-file") << "in the way";
    EXPECT_EQ(run(home, {"get", url("/site/about.html"), "--output=" + (home / "a-file").string()},
                  nullptr, &err),
              2);
    EXPECT_THAT(err, HasSubstr("Cannot create task directory " + (home / "a-file").string()));
}

TEST_F(CliTest, OwnAgentAndNoRobotsReachThePrivatePageAndEachObjectIsOneJsonLine) {
    const fs::path home = newHome("no-robots");
    std::string out;
    std::string err;
    ASSERT_EQ(run(home,
                  {"get", url("/site/index.html"), "--levels", "1", "--no-robots", "-U",
                   "QuillTest/2.0 (\"quoted\")", "--json"},
                  &out, &err),
              0)
        << out << err;
    EXPECT_EQ(treeOf(home / "My Downloads" / "Task-1").count("secret.html"), 1u);
    EXPECT_THAT(accessLog(), HasSubstr("GET /site/private/secret.html HTTP/1.0 \"-\" 200"));
    EXPECT_THAT(accessLog(), HasSubstr("\"QuillTest/2.0 (\\x22quoted\\x22)\""));
    // Standard output is JSON alone, a line per object; the report went to standard error.
    std::istringstream lines(out);
    int objects = 0;
    for (std::string line; std::getline(lines, line); ++objects) {
        EXPECT_TRUE(line.starts_with("{\"task\":\"Task-1\",\"url\":\"http://")) << line;
        EXPECT_TRUE(line.ends_with("}")) << line;
    }
    EXPECT_GT(objects, 5);
    EXPECT_THAT(
        out,
        HasSubstr("{\"task\":\"Task-1\",\"url\":\"" + url("/site/private/secret.html") +
                  "\",\"state\":\"retrieved\",\"status\":200,\"file\":\"" +
                  (home / "My Downloads" / "Task-1" / "secret.html").string() + "\",\"bytes\":"));
    EXPECT_THAT(err, HasSubstr("Task Task-1 finished: "));
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

    std::string out;
    ASSERT_EQ(run(home, {"resume", "-v"}, &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("refused by --include/--exclude  " + url("/site/images/logo.png")));
    EXPECT_THAT(out,
                HasSubstr("refused by --include/--exclude  " + url("/site/gallery/gallery.html")));
    EXPECT_THAT(out, HasSubstr("Task Task-1 refused 2 links by --include/--exclude\n"));
    const auto tree = treeOf(home / "My Downloads" / "Task-1");
    EXPECT_EQ(tree.count("about.html"), 1u);
    EXPECT_EQ(tree.count("reference.html"), 1u);
    EXPECT_EQ(tree.count("gallery.html") + tree.count("logo.png") + tree.count("quill.gif"), 0u);
}

// A lower bound only: a loaded machine makes the grab slower, never faster.
TEST_F(CliTest, ByteRateStretchesTwoMegabytesOverEightSecondsAtLeast) {
    const fs::path file = *s_work / "www" / "rate" / "two.bin";
    fs::create_directories(file.parent_path());
    std::ofstream(file).close();
    fs::resize_file(file, 2u << 20);
    const fs::path home = newHome("rate");
    const auto began = std::chrono::steady_clock::now();
    std::string out;
    ASSERT_EQ(run(home, {"get", url("/rate/two.bin"), "--limit-rate", "200k"}, &out), 0) << out;
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(8));
    EXPECT_EQ(fs::file_size(home / "My Downloads" / "Task-1" / "two.bin"), 2u << 20);
}

}  // namespace
}  // namespace quillharbor::test
