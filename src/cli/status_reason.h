#pragma once

#include <string>

namespace quillharbor {

// The words for a transfer's status code: the HTTP reason phrase ("Not Found"), what the HTTP
// client's own statuses mean (802 "too many redirects"), the text of a Windows Sockets code
// ("connection refused"). Empty for a code without words.
std::string statusReason(int status);

// The words for an FTP reply code the transfer ended with ("550 file not available"); empty for a
// code without words.
std::string ftpReplyReason(int code);

// The words for an object's Cause (failure_cause.h): "disk full", "timed out", "host not found".
std::string causeWords(int cause);

}  // namespace quillharbor
