// Debian's python3-doc HTML tree (530 Sphinx pages with their style sheets, scripts, pictures and
// search index) served by nginx on loopback and grabbed for offline reading: page requisites
// and the site's own layout.

#include <gtest/gtest.h>

#include "engine/grab_checks.h"
#include "engine/site_grab.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/percent_encoding.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDocs = "/usr/share/doc/python3/html";

// A grab of the docs, its task made with adjust's choices; the task's directory.
std::string grabDocs(const TempDirectory& work, const std::string& name, const std::string& site,
                     const std::function<void(NewTaskParams&)>& adjust) {
    const std::string program = work.make(name) + "/";
    SiteGrab grab(program, program + "downloads/", 8);
    TTask* task = grab.createTask(name, site, site, adjust);
    EXPECT_TRUE(task != nullptr && grab.run(30000) && grab.close());
    return task != nullptr ? task->Dir : "";
}

TEST(OfflineCopyTest, PythonDocsAreStyledOffline) {
    if (!fs::is_regular_file(fs::path(kDocs) / "search.html")) {
        GTEST_SKIP() << "python3-doc is not installed (scripts/setup)";
    }
    ServedSite served;
    ASSERT_TRUE(served.server.start({"/usr/bin/python3", serverScript("http_nginx.py"),
                                     std::to_string(served.port), served.work.make("nginx"), kDocs},
                                    served.port, served.work.path() + "/nginx.out"));
    const std::string site = HttpServers::at(served.port, "/");

    // Without the options a grab one link away asks for the front page, robots.txt and what
    // the front page's links and pictures name: no style sheet, no icon.
    grabDocs(served.work, "plain", site, [](NewTaskParams& params) {
        params.MaxLevelsInf = false;
        params.MaxLevels = 2;
    });
    std::vector<std::string> links;
    ExtractLinks(HtmlBuffer(contentsOf(std::string(kDocs) + "/index.html")), links, false, site);
    std::set<std::string> expected = {"/", "/robots.txt"}, requested;
    for (const std::string& link : links) {
        if (link.starts_with(site))
            expected.insert(link.substr(site.size() - 1));  // others lie outside
    }
    std::istringstream lines(served.log("nginx/access.log"));
    for (std::string method, target, rest;
         lines >> method >> target && std::getline(lines, rest);) {
        requested.insert(target);
    }
    EXPECT_EQ(requested, expected);

    // With both, every requisite of every saved page, resolved as a browser resolves it, is a
    // saved file in the site's folder.
    const std::string copy = grabDocs(served.work, "docs", site,
                                      [](NewTaskParams& params) {
                                          params.PageRequisites = true;
                                          params.SiteLayout = true;
                                      }) +
                             "127.0.0.1-" + std::to_string(served.port) + "/";
    EXPECT_TRUE(fs::is_regular_file(copy + "index.html") &&
                fs::is_regular_file(copy + "library/os.html"));
    const std::string here = "http://local.invalid/";
    int pages = 0, requisites = 0;
    for (const auto& entry : fs::recursive_directory_iterator(copy)) {
        const std::string path = fs::relative(entry.path(), copy).string();
        if (!entry.is_regular_file() || !path.ends_with(".html"))
            continue;
        ++pages;
        std::vector<FoundLink> found;
        ExtractLinksAndRequisites(HtmlBuffer(contentsOf(entry.path())), found, here + path);
        for (const FoundLink& link : found) {
            requisites += link.kind == LinkKind::Requisite ? 1 : 0;
            EXPECT_TRUE(link.kind != LinkKind::Requisite ||
                        (link.url.starts_with(here) &&
                         fs::is_regular_file(copy + PercentDecode(link.url.substr(here.size())))))
                << path << " needs " << link.url;
        }
    }
    EXPECT_GT(pages, 500);
    EXPECT_GT(requisites, pages * 10);
}

}  // namespace
}  // namespace quillharbor::test
