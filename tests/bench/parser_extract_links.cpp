// ExtractLinks over a large real HTML corpus, single-threaded: the HTML tree of the Python
// documentation (Debian's python3-doc, below /usr/share/doc/python3*). The pages are read into
// memory first; each round resolves every link against the page's own URL, as the link intake
// does. Prints the corpus, the links found and the best rate of five rounds in MB/s.
//
// Usage: bench_parser_extract_links [DIRECTORY]   (default: every /usr/share/doc/python3* tree)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using namespace quillharbor;

struct Page {
    std::string url;
    HtmlBuffer buffer;
};

void collect(const fs::path& dir, std::vector<Page>& pages) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        const fs::path& path = it->path();
        if (it->is_regular_file() && (path.extension() == ".html" || path.extension() == ".htm")) {
            const auto bytes = readWholeFile(path.string());
            if (bytes.ok()) {
                pages.push_back({"http://docs.example.org" + path.string(), HtmlBuffer(bytes.value())});
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Page> pages;
    if (argc > 1) {
        collect(argv[1], pages);
    } else {
        // Some of these directories are links to others: each tree is read once.
        std::set<fs::path> trees;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/usr/share/doc", error)) {
            if (entry.path().filename().string().starts_with("python3")) {
                trees.insert(fs::canonical(entry.path(), error));
            }
        }
        for (const fs::path& tree : trees) {
            collect(tree, pages);
        }
    }
    double megabytes = 0;
    for (const Page& page : pages) {
        megabytes += static_cast<double>(page.buffer.size()) / 1e6;
    }
    if (pages.empty() || megabytes < 1) {
        std::fprintf(stderr, "no HTML corpus found (install python3-doc: scripts/setup)\n");
        return 1;
    }
    std::vector<std::string> links;
    std::size_t found = 0;
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        found = 0;
        const auto begin = std::chrono::steady_clock::now();
        for (const Page& page : pages) {
            links.clear();
            ExtractLinks(page.buffer, links, false, page.url);
            found += links.size();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        best = std::max(best, megabytes / seconds);
    }
    std::printf("%zu pages, %.1f MB, %zu links resolved per round; ExtractLinks best of 5: %.1f MB/s\n",
                pages.size(), megabytes, found, best);
    return 0;
}
