// robots.txt bodies for one host. Every prefix must belong to that host and be found by
// IsExcluded; IsExcluded must agree with a plain scan for each prefix less its last byte and for
// a URL made from the body's first line.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parser/robots_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const std::string_view body = asText(data, size);
    DisallowList disallow;
    ParseRobotsTxt(body, disallow, "http://H/robots.txt");

    const auto agreesWithPlainScan = [&](std::string_view url) {
        bool expected = false;
        for (const std::string& prefix : disallow) {
            expected = expected || (!prefix.empty() && url.starts_with(prefix));
        }
        check(IsExcluded(url, disallow) == expected);
    };
    for (const std::string& prefix : disallow) {
        check(prefix.starts_with("http://H/"));
        check(IsExcluded(prefix, disallow));
        agreesWithPlainScan(std::string_view(prefix).substr(0, prefix.size() - 1));
    }
    std::size_t position = 0;
    agreesWithPlainScan("http://H/" + std::string(ReadLine(body, position)));
    return 0;
}
