// A generated site of a few hundred pages served by nginx on loopback and grabbed whole by the
// engine with real HTTP slots, the link intake, robots.txt, link rewriting and task files.

#include "engine/site_grab.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "net/http_servers.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "platform/files.h"
#include "storage/task_file.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kPages = 300;
constexpr std::uint16_t kSlots = 8;
constexpr int kSteps = 30000;  // 20 ms steps: ten minutes at most
constexpr const char* kTaskName = "site";

// A directory's files by relative path, with their contents.
std::map<std::string, std::string> treeOf(const std::string& dir) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            tree[fs::relative(entry.path(), dir).string()] =
                readWholeFile(entry.path().string()).valueOr({});
        }
    }
    return tree;
}

// The relative paths present in only one tree or with different contents (a short list rather
// than two whole trees when they differ).
std::vector<std::string> differences(const std::map<std::string, std::string>& a,
                                     const std::map<std::string, std::string>& b) {
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : a) {
        const auto other = b.find(path);
        if (other == b.end() || other->second != bytes) {
            paths.push_back(path);
        }
    }
    for (const auto& [path, bytes] : b) {
        if (!a.contains(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The generated site, nginx serving it, and what the generator says a grab must save.
struct Site {
    TempDirectory work;
    std::string root = work.make("www");
    std::string nginxDir = work.make("nginx");
    std::uint16_t port = 0;
    ServerProcess nginx;
    std::set<std::string> files;  // local names, the starting document included
    std::set<std::string> missingUrls;
    std::set<std::string> errorPages;  // the 404 pages of the missing URLs, saved too
    std::set<std::string> privateUrls;

    static Site& instance() {
        static Site site;
        return site;
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    bool start() {
        if (port != 0) {
            return true;
        }
        if (!generateSite(root, kPages)) {
            return false;
        }
        const std::uint16_t chosen = freePort();
        if (!nginx.start({"/usr/bin/python3", serverScript("http_nginx.py"), std::to_string(chosen),
                          nginxDir, root},
                         chosen, work.path() + "/nginx.out")) {
            return false;
        }
        port = chosen;
        std::ifstream manifest(root + "/manifest.txt");
        std::string kind, first, second;
        while (manifest >> kind >> first) {
            if (kind == "file") {
                manifest >> second;
                files.insert(first);
            } else if (kind == "missing") {
                missingUrls.insert(url(first));
                errorPages.insert(first.substr(first.rfind('/') + 1));
            } else {
                privateUrls.insert(url(first));
            }
        }
        return !files.empty();
    }
    std::string accessLog() const { return readWholeFile(nginxDir + "/access.log").valueOr({}); }
};

class SiteGrabTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(site.start()); }

    // A fresh program directory with its own downloads.
    std::string programDir(const std::string& name) const { return work.make(name) + "/"; }
    static std::string taskRoot(const std::string& program) { return program + "downloads/"; }

    // Grabs the site start to end in a new program directory; returns the task's directory.
    // configure may change the settings first.
    std::string grabWhole(const std::string& program,
                          const std::function<void(GlobalOptions&)>& configure = {}) {
        SiteGrab grab(program, taskRoot(program), kSlots);
        if (configure) {
            configure(grab.engine().globalOptions());
            grab.engine().ApplySettings();
        }
        TTask* task = grab.createTask(kTaskName, site.url("/site/index.html"), site.url("/site/"));
        EXPECT_NE(task, nullptr);
        if (task == nullptr) {
            return {};
        }
        EXPECT_TRUE(grab.run(kSteps));
        EXPECT_EQ(task->State, TaskState::Finished);
        EXPECT_TRUE(grab.close());
        return task->Dir;
    }

    Site& site = Site::instance();
    TempDirectory work;
};

TEST_F(SiteGrabTest, TheWholeSiteIsSavedWithLocalLinksAndWithoutDisallowedPages) {
    const std::string program = programDir("whole");
    const std::string dir = grabWhole(program);
    ASSERT_FALSE(dir.empty());

    const std::map<std::string, std::string> tree = treeOf(dir);
    std::set<std::string> names;
    for (const auto& [name, bytes] : tree) {
        names.insert(name);
    }
    std::set<std::string> expected = site.files;
    expected.insert("Starting Document.html");
    std::set<std::string> all = expected;
    all.insert(site.errorPages.begin(), site.errorPages.end());
    EXPECT_EQ(names, all);
    EXPECT_EQ(tree.at("shared3.png"),
              readWholeFile(site.root + "/site/images/shared3.png").valueOr({}));

    const std::string log = site.accessLog();
    EXPECT_THAT(log, HasSubstr("GET /robots.txt "));
    EXPECT_THAT(log, Not(HasSubstr("/site/private/")));

    // Every link left in a saved page, resolved as a browser resolves it (a base element
    // included), either names a file of the task that is no error page or is absolute and names
    // something that was never retrieved: a missing or a disallowed page.
    const std::string here = "http://local.invalid/";
    int localLinks = 0;
    for (const auto& [name, bytes] : tree) {
        if (!name.ends_with(".html")) {
            continue;
        }
        std::vector<std::string> links;
        ExtractLinks(HtmlBuffer(bytes), links, false, here + "page.html");
        for (const std::string& link : links) {
            const std::string target = link.substr(0, link.find('#'));
            if (target.starts_with(here)) {
                ++localLinks;
                const std::string file = percentDecoded(target.substr(here.size()));
                EXPECT_TRUE(fs::is_regular_file(dir + file) && !site.errorPages.contains(file))
                    << name << " links " << link;
            } else {
                EXPECT_TRUE(site.missingUrls.contains(target) || site.privateUrls.contains(target))
                    << name << " keeps " << link;
            }
        }
    }
    EXPECT_GT(localLinks, kPages * 4);

    const auto read = ReadTaskFile(taskFilePath(program, kTaskName), GlobalOptions{});
    ASSERT_TRUE(read.ok());
    const TTask& saved = *read.value();
    EXPECT_EQ(saved.State, TaskState::Finished);
    int savedFiles = 0;
    int savedMissing = 0;
    for (const TDnObj& object : saved.Objects) {
        if (object.State == ObjectState::Done || object.State == ObjectState::Retrieved) {
            ++savedFiles;
            EXPECT_TRUE(tree.contains(object.LocalName)) << object.URL;
        } else if (site.missingUrls.contains(object.URL)) {
            ++savedMissing;
            EXPECT_EQ(object.State, ObjectState::ProtocolError);
            EXPECT_EQ(object.Status, 404);
        } else {
            EXPECT_EQ(object.State, ObjectState::Excluded) << object.URL;
        }
    }
    EXPECT_EQ(savedFiles, static_cast<int>(expected.size()));
    EXPECT_EQ(savedMissing, static_cast<int>(site.missingUrls.size()));
}

// The second task copies what the first retrieved instead of fetching it again, and still
// follows the links of the copied pages.
TEST_F(SiteGrabTest, ASecondTaskOfAGrabbedSiteEndsWithTheSameFiles) {
    const std::string program = programDir("twice");
    const std::string first = grabWhole(program);
    ASSERT_FALSE(first.empty());

    SiteGrab grab(program, taskRoot(program), kSlots);
    TTask* task = grab.createTask("again", site.url("/site/index.html"), site.url("/site/"));
    ASSERT_NE(task, nullptr);
    EXPECT_TRUE(grab.run(kSteps));
    EXPECT_EQ(task->State, TaskState::Finished);
    EXPECT_THAT(differences(treeOf(task->Dir), treeOf(first)), ::testing::IsEmpty());
}

// Each slot keeps its connection from file to file: a redirect or an error page without a short
// length costs a new one, nothing else does, and the offline copy is the same.
TEST_F(SiteGrabTest, KeptConnectionsGrabTheSameTreeOverAFewConnectionsPerSlot) {
    const auto fast = [](GlobalOptions& options) { options.FastDispatch = true; };
    const std::string plain = grabWhole(programDir("plain"), fast);
    ASSERT_FALSE(plain.empty());
    const std::size_t before = site.accessLog().size();
    const std::string kept = grabWhole(programDir("kept"), [](GlobalOptions& options) {
        options.FastDispatch = true;
        options.KeepAlive = true;
    });
    ASSERT_FALSE(kept.empty());
    EXPECT_THAT(differences(treeOf(kept), treeOf(plain)), ::testing::IsEmpty());

    std::istringstream lines(site.accessLog().substr(before));
    std::set<std::string> connections;
    int requests = 0;
    for (std::string line; std::getline(lines, line);) {
        ++requests;
        EXPECT_THAT(line, HasSubstr(" HTTP/1.1 "));
        // "... <connection> <requests on it>"
        const std::size_t last = line.rfind(' ');
        const std::size_t connection = line.rfind(' ', last - 1);
        connections.insert(line.substr(connection + 1, last - connection - 1));
    }
    EXPECT_GT(requests, static_cast<int>(site.files.size()));
    EXPECT_LE(connections.size(), static_cast<std::size_t>(kSlots) * 3) << requests << " requests";
}

TEST_F(SiteGrabTest, AGrabInterruptedHalfWayEndsWithTheTreeOfAnUninterruptedOne) {
    const std::string whole = grabWhole(programDir("whole"));
    ASSERT_FALSE(whole.empty());

    const std::string program = programDir("interrupted");
    const int half = static_cast<int>(site.files.size()) / 2;
    {
        SiteGrab grab(program, taskRoot(program), kSlots);
        TTask* task = grab.createTask(kTaskName, site.url("/site/index.html"), site.url("/site/"));
        ASSERT_NE(task, nullptr);
        const auto halfDone = [task, half] {
            int done = 0;
            for (const TDnObj& object : task->Objects) {
                done += object.State == ObjectState::Done ? 1 : 0;
            }
            return done >= half;
        };
        EXPECT_FALSE(grab.run(kSteps, halfDone));
        ASSERT_TRUE(halfDone());
        EXPECT_TRUE(grab.close());
    }
    {
        SiteGrab grab(program, taskRoot(program), kSlots);
        TTask* task = grab.engine().state().TaskList.TaskFind(kTaskName);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->State, TaskState::Stopped);
        EXPECT_GT(task->Queued, 0);
        grab.start(*task);
        EXPECT_TRUE(grab.run(kSteps));
        EXPECT_EQ(task->State, TaskState::Finished);
        EXPECT_TRUE(grab.close());
        const auto resumed = treeOf(task->Dir);
        const auto uninterrupted = treeOf(whole);
        EXPECT_EQ(resumed.size(), uninterrupted.size());
        EXPECT_THAT(differences(resumed, uninterrupted), ::testing::IsEmpty());
    }
}

}  // namespace
}  // namespace quillharbor::test
