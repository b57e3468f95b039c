// What the HTTP slot decides from a server's bytes.
// - Local file names from URLs, as requested or as a server's Location names them. Every name is
//   a plain file name: no "/" or NUL, never "." or "..", and those that name a saved file are
//   never empty and fit the file system; such a file can be created, and a taken name is made
//   unique into another free one. A path of the site's layout is made of such names.
// - Answers to a request for the rest of a partial file. Input: the partial file's size in
//   decimal, a line feed, then the responses of the request (redirects first), each ended by a NUL
//   byte. An error answer is refused; an answer without a range starts the file again; a range is
//   appended only when the answer that carries the body reported it, beginning where the file
//   ends.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "clients/http_local_name.h"
#include "clients/http_resume.h"
#include "fuzz_check.h"
#include "net/http_redirect.h"
#include "net/http_response_parser.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace {

using namespace quillharbor;

void checkPlain(std::string_view name) {
    check(name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
          name != "." && name != "..");
}

void checkFileName(std::string_view name) {
    checkPlain(name);
    check(!name.empty() && name.size() <= 255);
}

void checkSaved(std::string_view url, const std::string& directory) {
    const std::string name = DocumentName(url);
    checkFileName(name);
    check(replaceFileAtomically(directory + name, {}).ok());
    const std::string unique = MakeUniqueName(name, directory);
    checkFileName(unique);
    check(unique != name && !fileExists(directory + unique));
    checkFileName(name + ".html");
    if (const std::string html = HtmlNameFor(unique); !html.empty())
        checkFileName(html);
    check(deleteFile(directory + name).ok());
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

// Whether the response being read reported a range.
class RangeWatch : public HttpResponseParser::Handler {
public:
    void onHeaderBegin() override { reported = false; }
    void onHeaderData(const std::string& line) override {
        std::string name = line.substr(0, line.find(':'));
        std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
        reported = reported || (name == "content-range" && name.size() < line.size());
    }
    void onHeaderEnd() override {}
    void onBody(const char*, std::size_t) override {}

    bool reported = false;
};

void checkLocalNames(std::string_view url) {
    static const test::TempDirectory directory("/dev/shm");
    checkPlain(LocalNameFromUrl(url));
    checkSaved(url, directory.path());
    checkSitePath(SitePath(url));
    if (const auto location = resolveHttpRedirect("http://h/d/p.html", url))
        checkSaved(*location, directory.path());
}

void checkResumeAnswer(std::string_view text) {
    auto [offsetText, input] = splitAtLineFeed(text);
    std::int64_t offset = 0;
    const auto [end, error] =
        std::from_chars(offsetText.data(), offsetText.data() + offsetText.size(), offset);
    if (error != std::errc() || end != offsetText.data() + offsetText.size() || offset <= 0)
        return;

    RangeWatch watch;
    HttpResponseParser parser(watch);
    parser.startRequest();
    for (;;) {
        const std::size_t cut = std::min(input.find('\0'), input.size());
        parser.feed(input.substr(0, cut));
        input.remove_prefix(std::min(input.size(), cut + 1));
        if (parser.phase() != HttpResponseParser::Phase::Redirect || input.empty())
            break;
        parser.startResponse();
    }
    if (parser.phase() != HttpResponseParser::Phase::Body)
        return;

    const HttpResponseInfo& info = parser.info();
    const std::string_view begin = info.contentRangeBegin;
    const std::string_view withoutZeros =
        begin.substr(std::min(begin.find_first_not_of('0'), begin.size()));
    switch (classifyResumeAnswer(offset, info.statusCode, info.contentRangeBegin)) {
        case ResumeAnswer::Append:
            check(info.statusCode < 400 && watch.reported &&
                  withoutZeros == std::to_string(offset));
            break;
        case ResumeAnswer::Restart:
            check(info.statusCode < 400 && begin.empty());
            break;
        case ResumeAnswer::Refuse:
            check(info.statusCode >= 400 || !begin.empty());
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkLocalNames(asText(data, size));
    checkResumeAnswer(asText(data, size));
    return 0;
}
