#pragma once

#include <cstdint>
#include <string_view>

namespace quillharbor {

// What to do with the body of an answer to a request that asked for the rest of a partial file.
enum class ResumeAnswer {
    Append,   // the range begins where the partial file ends
    Restart,  // the whole document came: the file starts again from offset 0
    Refuse,   // an error page, or a range that does not fit: the partial file stays as it was
};

// offset: the size of the partial file, which the request asked to continue from. statusCode
// and rangeBegin (the decimal first byte the server reported, empty when it reported none) are
// the answer's. An error answer (400 and above) is refused, so that its page never lands in the
// partial data.
ResumeAnswer classifyResumeAnswer(std::int64_t offset, int statusCode, std::string_view rangeBegin);

}  // namespace quillharbor
