// A generated site of a few hundred pages served by nginx on loopback and grabbed whole by the
// engine with real HTTP slots, the link intake, robots.txt, link rewriting and task files; then
// again by a second task, after an interruption and over kept connections, each ending with the
// same tree. One site and one nginx serve every grab.

#include "engine/site_grab.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/grab_checks.h"
#include "net/http_servers.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/percent_encoding.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr int kPages = 300;
constexpr std::uint16_t kSlots = 8;
constexpr int kSteps = 30000;  // 20 ms steps: ten minutes at most

class SiteGrabTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(served.serve(kPages, "http_nginx.py", {nginxDir, root})); }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    std::string accessLog() const { return readWholeFile(nginxDir + "/access.log").valueOr({}); }
    static std::string taskRoot(const std::string& program) { return program + "downloads/"; }

    // Grabs the site in program's directory (its task files loaded) with a task named name,
    // settings changed by configure first; stopEarly may cut the run, which then must not
    // settle. Returns the task's directory.
    std::string grab(const std::string& program, const std::string& name,
                     const std::function<void(GlobalOptions&)>& configure = {},
                     const std::function<bool(const TTask&)>& stopEarly = {}) {
        SiteGrab grab(program, taskRoot(program), kSlots);
        if (configure) {
            configure(grab.engine().globalOptions());
            grab.engine().ApplySettings();
        }
        TTask* task = grab.state().TaskList.TaskFind(name);
        if (task != nullptr) {
            EXPECT_EQ(task->State, TaskState::Stopped);
            grab.start(*task);
        } else {
            task = grab.createTask(name, url("/site/index.html"), url("/site/"));
        }
        EXPECT_NE(task, nullptr);
        if (task == nullptr) {
            return {};
        }
        const bool toTheEnd = !stopEarly;
        EXPECT_EQ(grab.run(kSteps, [&] { return stopEarly && stopEarly(*task); }), toTheEnd);
        EXPECT_EQ(task->State == TaskState::Finished, toTheEnd);
        EXPECT_TRUE(grab.close());
        return task->Dir;
    }

    ServedSite served;
    TempDirectory& work = served.work;
    const std::string& root = served.root;
    const std::string nginxDir = work.make("nginx");
    const std::uint16_t port = served.port;
};

TEST_F(SiteGrabTest, TheSiteIsSavedWithLocalLinksAndEveryLaterGrabEndsWithItsTree) {
    const Manifest manifest(root);
    std::set<std::string> missingUrls, disallowedUrls, errorPages;
    for (const std::string& path : manifest.missing) {
        missingUrls.insert(url(path));
        errorPages.insert(path.substr(path.rfind('/') + 1));
    }
    for (const std::string& path : manifest.disallowed) {
        disallowedUrls.insert(url(path));
    }
    const std::string program = work.make("whole") + "/";
    const std::string dir = grab(program, "site");
    ASSERT_FALSE(dir.empty());
    const auto whole = treeOf(dir);

    std::set<std::string> names, expected = {"Starting Document.html"};
    for (const auto& [name, bytes] : whole) {
        names.insert(name);
    }
    for (const auto& [name, path] : manifest.files) {
        expected.insert(name);
    }
    std::set<std::string> all = expected;
    all.insert(errorPages.begin(), errorPages.end());
    EXPECT_EQ(names, all);
    EXPECT_EQ(whole.at("shared3.png"),
              readWholeFile(root + "/site/images/shared3.png").valueOr({}));
    EXPECT_THAT(accessLog(), HasSubstr("GET /robots.txt "));
    EXPECT_THAT(accessLog(), Not(HasSubstr("/site/private/")));

    // Every link left in a saved page, resolved as a browser resolves it (a base element
    // included), either names a file of the task that is no error page or is absolute and names
    // something that was never retrieved: a missing or a disallowed page.
    const std::string here = "http://local.invalid/";
    int localLinks = 0;
    for (const auto& [name, bytes] : whole) {
        std::vector<std::string> links;
        if (name.ends_with(".html")) {
            ExtractLinks(HtmlBuffer(bytes), links, false, here + "page.html");
        }
        for (const std::string& link : links) {
            const std::string target = link.substr(0, link.find('#'));
            if (target.starts_with(here)) {
                ++localLinks;
                const std::string file = PercentDecode(target.substr(here.size()));
                EXPECT_TRUE(whole.contains(file) && !errorPages.contains(file))
                    << name << " links " << link;
            } else {
                EXPECT_TRUE(missingUrls.contains(target) || disallowedUrls.contains(target))
                    << name << " keeps " << link;
            }
        }
    }
    EXPECT_GT(localLinks, kPages * 4);

    const auto read = ReadTaskFile(taskFilePath(program, "site"), GlobalOptions{});
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value()->State, TaskState::Finished);
    int savedFiles = 0;
    int savedMissing = 0;
    for (const TDnObj& object : read.value()->Objects) {
        if (object.State == ObjectState::Done || object.State == ObjectState::Retrieved) {
            ++savedFiles;
            EXPECT_TRUE(whole.contains(object.LocalName)) << object.URL;
        } else if (missingUrls.contains(object.URL)) {
            ++savedMissing;
            EXPECT_EQ(object.State, ObjectState::ProtocolError);
            EXPECT_EQ(object.Status, 404);
        } else {
            EXPECT_EQ(object.State, ObjectState::Excluded) << object.URL;
        }
    }
    EXPECT_EQ(savedFiles, static_cast<int>(expected.size()));
    EXPECT_EQ(savedMissing, static_cast<int>(missingUrls.size()));

    // A second task copies what the first retrieved instead of fetching it again, and still
    // follows the links of the copied pages.
    EXPECT_THAT(differences(treeOf(grab(program, "again")), whole), IsEmpty()) << "second task";

    // Cut half-way and closed, then started again on the next run.
    const std::string interrupted = work.make("interrupted") + "/";
    const auto halfDone = [half = static_cast<int>(manifest.files.size()) / 2](const TTask& task) {
        int done = 0;
        for (const TDnObj& object : task.Objects) {
            done += object.State == ObjectState::Done ? 1 : 0;
        }
        return done >= half;
    };
    grab(interrupted, "site", {}, halfDone);
    EXPECT_THAT(differences(treeOf(grab(interrupted, "site")), whole), IsEmpty()) << "resumed";

    // Each slot keeps its connection from file to file: a redirect or an error page without a
    // short length costs a new one, nothing else does.
    const std::size_t before = accessLog().size();
    const std::string kept = grab(work.make("kept") + "/", "site", [](GlobalOptions& options) {
        options.FastDispatch = true;
        options.KeepAlive = true;
    });
    EXPECT_THAT(differences(treeOf(kept), whole), IsEmpty()) << "kept connections";
    std::istringstream lines(accessLog().substr(before));
    std::set<std::string> connections;
    int requests = 0;
    for (std::string line; std::getline(lines, line); ++requests) {
        EXPECT_THAT(line, HasSubstr(" HTTP/1.1 "));
        // "... <connection> <requests on it>"
        const std::size_t last = line.rfind(' ');
        const std::size_t connection = line.rfind(' ', last - 1);
        connections.insert(line.substr(connection + 1, last - connection - 1));
    }
    EXPECT_GT(requests, static_cast<int>(manifest.files.size()));
    EXPECT_LE(connections.size(), std::size_t{kSlots} * 3) << requests << " requests";
}

}  // namespace
}  // namespace quillharbor::test
