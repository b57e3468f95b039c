#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillharbor {

// Everything one GET request header is composed from. The fields named like the client's
// properties hold their values; the client fills the others from the URL and the proxy.
struct HttpRequestHeader {
    std::string requestPath;  // the path, or the absolute URL when sent to a proxy
    std::string host;         // sent as "Host: ", with the port when it is not 80
    bool viaProxy = false;
    // An HTTP/1.1 request that asks to keep the connection for the next one.
    bool persistent = false;
    std::string Sender;
    std::string Accept;
    std::string Reference;
    std::string Agent;
    bool NoCache = false;
    std::string Username;
    std::string Password;
    std::string ProxyUsername;
    std::string ProxyPassword;
    std::string ContentRangeBegin;
    std::string ContentRangeEnd;
};

// value without its CR, LF and NUL bytes: what a header line may carry of outside text.
std::string cleanHeaderValue(std::string_view value);

// Called with every request line before it is stored; it may change the line.
using HttpCommandHook = std::function<void(std::string& line)>;

// The request text: the request line, the header lines in their fixed order, each ended by
// CR LF, and the empty line. An HTTP/1.0 request has no "Connection" line: the end of the body is
// the end of the connection; a persistent one is HTTP/1.1 with "Connection: keep-alive". The
// referrer is sent without its fragment. CR, LF and NUL bytes of the values are dropped, so that a
// hostile URL or referrer cannot add lines of its own; the hook's result is taken as it is.
std::string composeHttpRequest(const HttpRequestHeader& header, const HttpCommandHook& onCommand);

}  // namespace quillharbor
