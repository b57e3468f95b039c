#pragma once

namespace quillharbor {

// The statuses a request ends with when the HTTP client ended it itself, beside the server's own
// (below 600) and the Windows Sockets codes of a failed connect (above 10000).
inline constexpr int kHttpClientFailure = 800;     // header line too long, malformed status line
inline constexpr int kHttpLookupOrAbort = 801;     // the host was not found, or Abort
inline constexpr int kHttpTooManyRedirects = 802;  // a redirect past THttpCli::MaxRedirects

}  // namespace quillharbor
