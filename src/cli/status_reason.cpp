#include "cli/status_reason.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "model/failure_cause.h"
#include "net/http_status.h"
#include "net/socket_error.h"

namespace quillharbor {

namespace {

constexpr int kSocketErrorBase = 10000;

struct Reason {
    int status;
    const char* words;
};

constexpr Reason kReasons[] = {
    {204, "No Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {410, "Gone"},
    {416, "Range Not Satisfiable"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {kHttpClientFailure, "malformed response header"},
    {kHttpLookupOrAbort, "aborted"},
    {kHttpTooManyRedirects, "too many redirects"},
};

std::string httpReason(int status) {
    const auto found = std::find_if(std::begin(kReasons), std::end(kReasons),
                                    [status](const Reason& each) { return each.status == status; });
    return found == std::end(kReasons) ? std::string() : found->words;
}

std::string socketWords(int code) {
    switch (code) {
        case WSAHOST_NOT_FOUND:
            return "host not found";
        case WSAETIMEDOUT:
            return "timed out";
        default: {
            std::string words = socketErrorDesc(code);
            words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
            return words;
        }
    }
}

}  // namespace

std::string statusReason(int status) {
    return status > kSocketErrorBase ? socketWords(status) : httpReason(status);
}

std::string causeWords(int cause) {
    switch (cause) {
        case kCauseNone:
            return "";
        case kCauseFileNotWritten:
            return "cannot write the file";
        case kCauseDiskFull:
            return "disk full";
        default:
            return socketWords(cause);
    }
}

}  // namespace quillharbor
