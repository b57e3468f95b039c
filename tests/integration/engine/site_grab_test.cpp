// A generated site of a few hundred pages served by nginx on loopback and grabbed whole by the
// engine with real HTTP slots, the link intake, robots.txt, link rewriting and task files; then
// from two hosts at once over kept connections, ending with the same tree. (The command line's
// tests grab it again after kills, and a second task of a site.)

#include "engine/site_grab.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/grab_checks.h"
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

// Grabs the sites, each with a task of its own, in a fresh program directory below work with
// settings changed by configure first. Returns the tasks' directories.
std::vector<std::string> grab(const TempDirectory& work, const std::string& name,
                              const std::vector<std::string>& sites,
                              const std::function<void(GlobalOptions&)>& configure = {}) {
    const std::string program = work.make(name) + "/";
    SiteGrab grab(program, program + "downloads/", kSlots);
    if (configure) {
        configure(grab.engine().globalOptions());
        grab.engine().ApplySettings();
    }
    std::vector<TTask*> tasks;
    for (const std::string& site : sites) {
        tasks.push_back(
            grab.createTask("site" + std::to_string(tasks.size()), site + "index.html", site));
    }
    EXPECT_TRUE(grab.run(kSteps));
    std::vector<std::string> dirs;
    for (const TTask* task : tasks) {
        EXPECT_TRUE(task != nullptr && task->State == TaskState::Finished);
        dirs.push_back(task != nullptr ? task->Dir : "");
    }
    EXPECT_TRUE(grab.close());
    return dirs;
}

TEST(SiteGrabTest, TheSiteIsSavedWithLocalLinksAndEveryLaterGrabEndsWithItsTree) {
    ServedSite served;
    const std::string host = served.serve(kPages, "http_nginx.py", {"WORK", "ROOT"});
    ASSERT_FALSE(host.empty());
    const std::string site = host + "/site/";
    const Manifest manifest(served.root);
    std::set<std::string> missingUrls, disallowedUrls, errorPages,
        names = {"Starting Document.html"};
    for (const std::string& path : manifest.missing) {
        missingUrls.insert(host + path);
        errorPages.insert(path.substr(path.rfind('/') + 1));
    }
    names.insert(errorPages.begin(), errorPages.end());
    for (const std::string& path : manifest.disallowed) disallowedUrls.insert(host + path);
    for (const auto& [name, path] : manifest.files) names.insert(name);
    const auto whole = treeOf(grab(served.work, "whole", {site}).at(0));

    std::set<std::string> saved;
    for (const auto& [name, bytes] : whole) saved.insert(name);
    EXPECT_EQ(saved, names);
    EXPECT_EQ(whole.at("shared3.png"), contentsOf(served.root + "/site/images/shared3.png"));
    const std::string log = served.log("server/access.log");
    EXPECT_THAT(log, HasSubstr("GET /robots.txt "));
    EXPECT_THAT(log, Not(HasSubstr("/site/private/")));

    // Every link left in a saved page, resolved as a browser resolves it (a base element
    // included), either names a saved file that is no error page or is absolute and names
    // something never retrieved: a missing or a disallowed page.
    const std::string here = "http://local.invalid/";
    int localLinks = 0;
    for (const auto& [name, bytes] : whole) {
        std::vector<std::string> links;
        if (name.ends_with(".html"))
            ExtractLinks(HtmlBuffer(bytes), links, false, here + "page.html");
        for (const std::string& link : links) {
            const std::string target = link.substr(0, link.find('#'));
            const std::string file =
                PercentDecode(target.substr(std::min(here.size(), target.size())));
            localLinks += target.starts_with(here) ? 1 : 0;
            EXPECT_TRUE(target.starts_with(here)
                            ? whole.contains(file) && !errorPages.contains(file)
                            : missingUrls.contains(target) || disallowedUrls.contains(target))
                << name << " keeps " << link;
        }
    }
    EXPECT_GT(localLinks, kPages * 4);

    const auto read =
        ReadTaskFile(taskFilePath(served.work.path() + "/whole/", "site0"), GlobalOptions{});
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value()->State, TaskState::Finished);
    std::size_t savedFiles = 0, savedMissing = 0;
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
    EXPECT_EQ(savedFiles, manifest.files.size() + 1);
    EXPECT_EQ(savedMissing, missingUrls.size());

    // Two hosts of the same site at once with fast dispatch: each slot keeps its connection from
    // file to file and stays with its host; a redirect or an error page without a short length
    // costs a new one, nothing else does.
    ServerProcess second;
    const std::uint16_t port = freePort();
    ASSERT_TRUE(second.start({"/usr/bin/python3", serverScript("http_nginx.py"),
                              std::to_string(port), served.work.make("second"), served.root},
                             port, served.work.path() + "/second.out"));
    const std::string other = "http://127.0.0.1:" + std::to_string(port);
    const std::size_t before = served.log("server/access.log").size();
    const auto kept =
        grab(served.work, "kept", {site, other + "/site/"}, [](GlobalOptions& options) {
            options.FastDispatch = true;
            options.KeepAlive = true;
        });
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_THAT(differences(treeOf(kept[0]), whole), IsEmpty()) << "kept connections";
    EXPECT_THAT(differences(treeOf(kept[1], other, host), whole), IsEmpty()) << "second host";
    for (const std::string& requests :
         {served.log("server/access.log").substr(before), served.log("second/access.log")}) {
        EXPECT_GT(occurrences(requests, " HTTP/1.1 "), static_cast<int>(manifest.files.size()));
        EXPECT_EQ(occurrences(requests, " HTTP/1.0 "), 0);
        EXPECT_LE(connectionsIn(requests).size(), std::size_t{kSlots} * 3);
    }
}

}  // namespace
}  // namespace quillharbor::test
