#include "clients/http_resume.h"

#include <charconv>

namespace quillharbor {

ResumeAnswer classifyResumeAnswer(std::int64_t offset, int statusCode,
                                  std::string_view rangeBegin) {
    if (statusCode >= 400) {
        return ResumeAnswer::Refuse;
    }
    if (rangeBegin.empty()) {
        return ResumeAnswer::Restart;
    }
    std::int64_t begin = -1;
    const auto [end, error] =
        std::from_chars(rangeBegin.data(), rangeBegin.data() + rangeBegin.size(), begin);
    const bool whole = error == std::errc() && end == rangeBegin.data() + rangeBegin.size();
    // Bytes from elsewhere would leave a hole or overwrite what is there: neither is the file.
    return whole && begin == offset ? ResumeAnswer::Append : ResumeAnswer::Refuse;
}

}  // namespace quillharbor
