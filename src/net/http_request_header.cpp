#include "net/http_request_header.h"

#include <algorithm>
#include <string_view>

#include "net/http_base64.h"
#include "parser/url_helpers.h"

namespace quillharbor {

std::string cleanHeaderValue(std::string_view value) {
    std::string line(value);
    std::erase_if(line, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return line;
}

namespace {

class Composer {
public:
    explicit Composer(const HttpCommandHook& onCommand) : m_onCommand(onCommand) {}

    void line(std::string text) {
        if (m_onCommand) {
            m_onCommand(text);
        }
        m_request += text;
        m_request += "\r\n";
    }
    void field(std::string_view name, std::string_view value) {
        if (!value.empty()) {
            line(std::string(name) + cleanHeaderValue(value));
        }
    }
    std::string take() { return std::move(m_request); }

private:
    const HttpCommandHook& m_onCommand;
    std::string m_request;
};

}  // namespace

std::string composeHttpRequest(const HttpRequestHeader& header, const HttpCommandHook& onCommand) {
    Composer request(onCommand);
    request.line("GET " + cleanHeaderValue(header.requestPath) +
                 (header.persistent ? " HTTP/1.1" : " HTTP/1.0"));
    request.field("From: ", header.Sender);
    request.field("Accept: ", header.Accept);
    // A fragment is the client's own business, in a referrer as in the request line.
    request.field("Referer: ", StripFragment(header.Reference));
    request.field("User-Agent: ", header.Agent);
    request.line("Host: " + cleanHeaderValue(header.host));
    if (header.persistent) {
        request.line("Connection: keep-alive");
    }
    if (header.NoCache) {
        request.line("Pragma: no-cache");
    }
    if (!header.Username.empty()) {
        request.line("Authorization: Basic " +
                     base64Encode(header.Username + ":" + header.Password));
    }
    if (header.viaProxy && !header.ProxyUsername.empty()) {
        request.line("Proxy-Authorization: Basic " +
                     base64Encode(header.ProxyUsername + ":" + header.ProxyPassword));
    }
    if (!header.ContentRangeBegin.empty() || !header.ContentRangeEnd.empty()) {
        request.line("Range: bytes=" + cleanHeaderValue(header.ContentRangeBegin) + "-" +
                     cleanHeaderValue(header.ContentRangeEnd));
    }
    request.line("");
    return request.take();
}

}  // namespace quillharbor
