#include "cli/status_reason.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <iterator>

#include "model/failure_cause.h"
#include "net/http_status.h"
#include "net/socket_error.h"
#include "net/tls_failure.h"

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

// The FTP client's own failures borrow codes too: 426 an abort, 500 a lost control connection,
// 550 a data connection or local file that failed.
constexpr Reason kFtpReasons[] = {
    {421, "service not available"},
    {425, "cannot open the data connection"},
    {426, "transfer aborted"},
    {450, "file busy"},
    {451, "local error at the server"},
    {452, "server out of space"},
    {500, "command not understood"},
    {501, "bad arguments"},
    {502, "command not implemented"},
    {530, "login refused"},
    {532, "account needed"},
    {550, "file not available"},
    {552, "server out of space"},
    {553, "file name not allowed"},
};

template <std::size_t Count>
std::string reasonIn(const Reason (&table)[Count], int status) {
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [status](const Reason& each) { return each.status == status; });
    return found == std::end(table) ? std::string() : found->words;
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
    if (status > kSocketErrorBase) {
        return socketWords(status);
    }
    const std::string words = reasonIn(kReasons, status);
    return words.empty() ? tlsFailureText(status) : words;
}

std::string ftpReplyReason(int code) {
    return reasonIn(kFtpReasons, code);
}

std::string causeWords(int cause) {
    switch (cause) {
        case kCauseNone:
            return "";
        case kCauseFileNotWritten:
            return "cannot write the file";
        case kCauseDiskFull:
            return "disk full";
        case kCauseWaitTooLong:
            return "asked to wait over 10 minutes (Retry-After)";
        default:
            return socketWords(cause);
    }
}

}  // namespace quillharbor
