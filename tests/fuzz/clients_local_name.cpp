// Local file names from URLs, as requested or as a server's Location names them. Every name is a
// plain file name: no "/" or NUL, never "." or "..", and those that name a saved file are never
// empty and fit the file system; such a file can be created, and a taken name is made unique
// into another free one. A path of the site's layout is made of such names.

#include <cstdint>
#include <string>
#include <string_view>

#include "clients/http_local_name.h"
#include "fuzz_check.h"
#include "net/http_redirect.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace {

void checkPlain(std::string_view name) {
    check(name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
          name != "." && name != "..");
}

void checkFileName(std::string_view name) {
    checkPlain(name);
    check(!name.empty() && name.size() <= 255);
}

void checkSaved(std::string_view url, const std::string& directory) {
    const std::string name = quillharbor::DocumentName(url);
    checkFileName(name);
    check(quillharbor::replaceFileAtomically(directory + name, {}).ok());
    const std::string unique = quillharbor::MakeUniqueName(name, directory);
    checkFileName(unique);
    check(unique != name && !quillharbor::fileExists(directory + unique));
    checkFileName(name + ".html");
    if (const std::string html = quillharbor::HtmlNameFor(unique); !html.empty())
        checkFileName(html);
    check(quillharbor::deleteFile(directory + name).ok());
}

// A path of the site's layout: folders and a file name, each a plain name.
void checkSitePath(std::string_view path) {
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        checkFileName(path.substr(start, slash - start));
        if (slash == std::string_view::npos) {
            return;
        }
        start = slash + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    static const test::TempDirectory directory("/dev/shm");
    const std::string_view url = asText(data, size);
    checkPlain(LocalNameFromUrl(url));
    checkSaved(url, directory.path());
    checkSitePath(SitePath(url));
    if (const auto location = resolveHttpRedirect("http://h/d/p.html", url))
        checkSaved(*location, directory.path());
    return 0;
}
