#include "net/http_target.h"

#include <algorithm>

#include "net/http_url_parts.h"
#include "parser/host_port.h"
#include "parser/percent_encoding.h"

namespace quillharbor {

namespace {
constexpr std::string_view DefaultPort = "80";
constexpr std::string_view SecurePort = "443";

bool isHttps(std::string_view protocol) {
    return protocol.size() == 5 &&
           std::equal(protocol.begin(), protocol.end(), "https",
                      [](char c, char lower) { return (c | 0x20) == lower; });
}
}  // namespace

HttpTarget makeHttpTarget(std::string_view url, std::string_view proxy,
                          std::string_view proxyPort) {
    HttpUrlParts parts = splitHttpUrl(url.substr(0, url.find('#')));
    parts.path = PercentEncodeUrl(parts.path);
    HttpTarget target;
    target.secure = isHttps(parts.protocol);
    const std::string_view ownPort = target.secure ? SecurePort : DefaultPort;
    if (target.secure) {
        parts.protocol = "https";
    }
    target.url = absoluteHttpUrl(parts);
    target.path = parts.path;
    target.targetHost = HostWithoutBrackets(parts.host);
    target.hostField =
        parts.port.empty() || parts.port == ownPort ? parts.host : parts.host + ":" + parts.port;
    target.user = parts.user;
    target.password = parts.password;
    if (proxy.empty()) {
        target.connectHost = target.targetHost;
        target.connectPort = parts.port.empty() ? ownPort : parts.port;
        target.requestPath = parts.path.empty() ? "/" : parts.path;
    } else {
        const HttpUrlParts proxyParts = splitHttpUrl(proxy);
        target.connectHost = HostWithoutBrackets(proxyParts.host);
        target.connectPort = !proxyParts.port.empty() ? proxyParts.port
                             : !proxyPort.empty()     ? std::string(proxyPort)
                                                      : std::string(DefaultPort);
        if (target.secure) {
            target.tunnel =
                parts.host + ":" + (parts.port.empty() ? std::string(ownPort) : parts.port);
            target.requestPath = parts.path.empty() ? "/" : parts.path;
        } else {
            target.requestPath = target.url;
        }
    }
    return target;
}

}  // namespace quillharbor
