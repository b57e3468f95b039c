// Debian's python3-doc HTML tree (530 Sphinx pages with their style sheets, scripts, pictures and
// search index) served by nginx on loopback and grabbed for offline reading: page requisites
// and the site's own layout.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/site_grab.h"
#include "net/http_servers.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/percent_encoding.h"
#include "platform/files.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDocs = "/usr/share/doc/python3/html";
constexpr int kSteps = 30000;  // 20 ms steps: ten minutes at most

TEST(OfflineCopyTest, PythonDocsAreStyledAndSearchableOffline) {
    if (!fs::is_regular_file(fs::path(kDocs) / "search.html")) {
        GTEST_SKIP() << "python3-doc is not installed (scripts/setup)";
    }
    TempDirectory work;
    const std::uint16_t port = freePort();
    ServerProcess nginx;
    ASSERT_TRUE(nginx.start({"/usr/bin/python3", serverScript("http_nginx.py"),
                             std::to_string(port), work.make("nginx"), kDocs},
                            port, work.path() + "/nginx.out"));
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const std::string log = work.path() + "/nginx/access.log";

    // Without the options a grab one link away asks for the front page, robots.txt and what
    // the front page's links and pictures name: no style sheet, no icon.
    {
        const std::string plain = work.make("plain") + "/";
        SiteGrab grab(plain, plain + "downloads/", 8);
        TTask* task = grab.createTask("plain", "http://" + host + "/", "http://" + host + "/",
                                      [](NewTaskParams& params) {
                                          params.MaxLevelsInf = false;
                                          params.MaxLevels = 2;
                                      });
        ASSERT_NE(task, nullptr);
        ASSERT_TRUE(grab.run(kSteps));
        ASSERT_TRUE(grab.close());
        std::vector<std::string> links;
        const std::string front = readWholeFile(std::string(kDocs) + "/index.html").valueOr({});
        ExtractLinks(HtmlBuffer(front), links, false, "http://" + host + "/");
        std::set<std::string> expected = {"/", "/robots.txt"};
        const std::string site = "http://" + host + "/";
        for (const std::string& link : links) {
            if (link.starts_with(site)) {  // other hosts lie outside the boundary
                expected.insert(link.substr(site.size() - 1));
            }
        }
        std::set<std::string> requested;
        std::istringstream lines(readWholeFile(log).valueOr({}));
        for (std::string method, target, rest;
             lines >> method >> target && std::getline(lines, rest);) {
            requested.insert(target);
        }
        EXPECT_EQ(requested, expected);
        EXPECT_FALSE(requested.contains("/_static/pydoctheme.css?2022.1"));
    }

    const std::string program = work.make("program") + "/";

    SiteGrab grab(program, program + "downloads/", 8);
    TTask* task = grab.createTask("docs", "http://" + host + "/", "http://" + host + "/",
                                  [](NewTaskParams& params) {
                                      params.PageRequisites = true;
                                      params.SiteLayout = true;
                                      params.MaxLevelsInf = true;
                                      params.MaxLevels = 3;
                                  });
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(grab.run(kSteps));
    EXPECT_EQ(task->State, TaskState::Finished);
    ASSERT_TRUE(grab.close());

    const std::string site = task->Dir + "127.0.0.1-" + std::to_string(port) + "/";
    EXPECT_EQ(task->Objects.TaskFindObj("http://" + host + "/")->LocalName,
              "127.0.0.1-" + std::to_string(port) + "/index.html");

    // Every requisite of every saved page, resolved as a browser resolves it, is a saved file.
    const std::string here = "http://local.invalid/";
    int pages = 0;
    int requisites = 0;
    for (const auto& entry : fs::recursive_directory_iterator(site)) {
        const std::string path = fs::relative(entry.path(), site).string();
        if (!entry.is_regular_file() || !path.ends_with(".html")) {
            continue;
        }
        ++pages;
        std::vector<FoundLink> links;
        ExtractLinksAndRequisites(HtmlBuffer(readWholeFile(entry.path()).valueOr({})), links,
                                  here + path);
        for (const FoundLink& link : links) {
            if (link.kind != LinkKind::Requisite) {
                continue;
            }
            ++requisites;
            const bool local = link.url.starts_with(here);
            EXPECT_TRUE(local &&
                        fs::is_regular_file(site + PercentDecode(link.url.substr(here.size()))))
                << path << " needs " << link.url;
        }
    }
    EXPECT_GT(pages, 500);
    EXPECT_GT(requisites, pages * 10);

    // The search page finds its documents by the names in its index, relative to itself.
    ASSERT_TRUE(fs::is_regular_file(site + "search.html"));
    const std::string index = readWholeFile(site + "searchindex.js").valueOr({});
    const std::size_t names = index.find("\"docnames\": [");
    ASSERT_NE(names, std::string::npos);
    const std::string list = index.substr(names, index.find(']', names) - names);
    const std::regex quoted("\"([^\"]+)\"");
    std::set<std::string> documents;
    for (auto at = std::sregex_iterator(list.begin() + 13, list.end(), quoted);
         at != std::sregex_iterator(); ++at) {
        documents.insert((*at)[1].str() + ".html");
    }
    EXPECT_TRUE(documents.contains("library/os.html"));
    std::set<std::string> missing;
    for (const std::string& document : documents) {
        if (!fs::is_regular_file(site + document)) {
            missing.insert(document);
        }
    }
    EXPECT_TRUE(fs::is_regular_file(site + "library/os.html"));
    // A document may be missing only when no page of the site links to it (a few are only
    // included into others).
    for (const auto& entry : fs::recursive_directory_iterator(kDocs)) {
        if (missing.empty() || !entry.path().string().ends_with(".html")) {
            continue;
        }
        const std::string page = readWholeFile(entry.path()).valueOr({});
        std::erase_if(missing, [&](const std::string& document) {
            const std::string name = document.substr(document.rfind('/') + 1);
            return page.find(name + "\"") != std::string::npos ||
                   page.find(name + "#") != std::string::npos;
        });
    }
    EXPECT_TRUE(missing.empty()) << *missing.begin() << " is linked but was not saved";
}

}  // namespace
}  // namespace quillharbor::test
