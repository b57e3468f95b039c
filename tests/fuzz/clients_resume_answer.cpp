// Answers to a request for the rest of a partial file. Input: the partial file's size in decimal,
// a line feed, then the responses of the request (redirects first), each ended by a NUL byte. An
// error answer is refused; an answer without a range starts the file again; a range is appended
// only when the answer that carries the body reported it, beginning where the file ends.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "clients/http_resume.h"
#include "fuzz_check.h"
#include "net/http_response_parser.h"

namespace {

using quillharbor::HttpResponseParser;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    auto [offsetText, input] = splitAtLineFeed(asText(data, size));
    std::int64_t offset = 0;
    const auto [end, error] =
        std::from_chars(offsetText.data(), offsetText.data() + offsetText.size(), offset);
    if (error != std::errc() || end != offsetText.data() + offsetText.size() || offset <= 0)
        return 0;

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
        return 0;

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
    return 0;
}
