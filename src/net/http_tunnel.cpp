#include "net/http_tunnel.h"

#include "net/http_base64.h"
#include "net/http_request_header.h"
#include "net/http_status.h"

namespace quillharbor {

namespace {

// "HTTP/1.x NNN ...": the three digits, or 0.
int statusOf(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (!line.starts_with("HTTP/") || blank == std::string_view::npos || line.size() < blank + 4) {
        return 0;
    }
    int status = 0;
    for (const char c : line.substr(blank + 1, 3)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        status = status * 10 + (c - '0');
    }
    return status;
}

}  // namespace

std::string composeConnectRequest(std::string_view hostPort, std::string_view user,
                                  std::string_view password) {
    const std::string target = cleanHeaderValue(hostPort);
    std::string request = "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\n";
    if (!user.empty()) {
        request += "Proxy-Authorization: Basic " +
                   base64Encode(cleanHeaderValue(user) + ":" + cleanHeaderValue(password)) + "\r\n";
    }
    request += "\r\n";
    return request;
}

TunnelReply readTunnelReply(std::string_view bytes) {
    const std::size_t end = bytes.find("\r\n\r\n");
    const std::size_t bareEnd = bytes.find("\n\n");
    if (end == std::string_view::npos && bareEnd == std::string_view::npos) {
        return {bytes.size() > kMaxTunnelReplyBytes ? TunnelReply::Phase::TooLong
                                                    : TunnelReply::Phase::Incomplete,
                0};
    }
    const int status = statusOf(bytes.substr(0, bytes.find_first_of("\r\n")));
    if (status >= 200 && status < 300) {
        return {TunnelReply::Phase::Open, status};
    }
    return {TunnelReply::Phase::Refused, status == 0 ? kHttpClientFailure : status};
}

}  // namespace quillharbor
