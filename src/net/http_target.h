#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// Where one request goes (the server itself, or the proxy) and what its request line names.
struct HttpTarget {
    std::string url;          // the absolute URL fetched, the base for relative redirects
    std::string path;         // the URL's path, for the document name
    std::string connectHost;  // the server's host, or the proxy's (an IPv6 literal unbracketed)
    std::string connectPort;
    std::string targetHost;   // the server's host name (an IPv6 literal unbracketed)
    std::string hostField;    // sent as "Host: ": the host as written, with its port unless 80
    std::string requestPath;  // the path, or the absolute URL through a proxy; never empty
    std::string user;         // credentials written in the URL itself
    std::string password;
    bool secure = false;  // an https URL: the session runs over TLS
    std::string tunnel;   // "host:port" a proxy is asked to CONNECT to, for a secure target
};

// A direct request when proxy is empty. The port is the URL's (or the proxy's) own, else the
// default: 80 for the server (443 for https), proxyPort (or 80 when that is empty too) for the
// proxy. An https URL goes through a proxy by a tunnel: the request inside names the path only. The
// URL's fragment is never part of the target, and its path and query are percent-encoded
// (PercentEncodeUrl), so what reaches the request line is always a valid request target.
HttpTarget makeHttpTarget(std::string_view url, std::string_view proxy, std::string_view proxyPort);

}  // namespace quillharbor
