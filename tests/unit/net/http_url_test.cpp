#include <gtest/gtest.h>

#include <string>

#include "net/http_base64.h"
#include "net/http_doc_name.h"
#include "net/http_redirect.h"
#include "net/http_referer.h"
#include "net/http_target.h"
#include "net/http_tunnel.h"
#include "net/http_url_parts.h"

namespace quillharbor {
namespace {

TEST(HttpUrlTest, SplitsUrlsProxiesAndOddForms) {
    const struct {
        const char* text;
        const char* parts;  // protocol|user|password|host|port|path
    } cases[] = {
        {"", "|||||"},
        {"http://u:pw@h.org:81/a/b?x=1", "http|u|pw|h.org|81|/a/b?x=1"},
        {"proxy.lan:3128", "|||proxy.lan|3128|"},
        {"a:b@c:d@e", "|a|b@c:d|e||"},  // last "@" and last ":" decide
        {"//h/x", "http|||||/h/x"},
        {"HTTP:ab/c", "http|||||ab/c"},
        {"mailto:a@b.org", "mailto|a||b.org||"},
        {"http://h:81?q=/x", "http|||h|81|/?q=/x"},
        {"http://u@[::1]:81/x", "http|u||[::1]|81|/x"},
    };
    for (const auto& c : cases) {
        const HttpUrlParts p = splitHttpUrl(c.text);
        EXPECT_EQ(p.protocol + "|" + p.user + "|" + p.password + "|" + p.host + "|" + p.port + "|" +
                      p.path,
                  c.parts)
            << c.text;
    }
}

TEST(HttpUrlTest, DocNamesReferersAndBase64) {
    // A query never names the document; a referer loses only the user information.
    const std::pair<std::string, std::string> rows[] = {
        {docNameFromPath("/a?x=/b"), "a"},
        {docNameFromPath("/" + std::string(300, 'n')), std::string(255, 'n')},
        {htmlDocName("setup.EXE", "text/html") + htmlDocName("a.exe.zip", "text/html"),
         "setup.htma.exe.zip"},
        {refererWithoutUserInfo("http://a@b:c@h.org/x"), "http://h.org/x"},
        {refererWithoutUserInfo("http://u:p@h.org?q=a@b"), "http://h.org?q=a@b"},
        {refererWithoutUserInfo("page@x.html") + refererWithoutUserInfo("http://h.org/#a@b"),
         "page@x.htmlhttp://h.org/#a@b"},
        {base64Encode("f") + base64Encode("\xff\xfe\xfd"), "Zg==//79"},
    };
    for (const auto& [got, expected] : rows) EXPECT_EQ(got, expected);
}

TEST(HttpUrlTest, WhatGoesOnTheWireDirectThroughAProxyAndThroughATunnel) {
    // Where it connects, the request path, the host line and what a proxy is asked to tunnel to.
    const std::string_view rows[][3] = {
        {"http://h/index.html#intro", "", "h:80 /index.html h "},
        {"http://h:8080/a b.html", "", "h:8080 /a%20b.html h:8080 "},
        {"http://h:80/a%20b.html?q=x y#f", "", "h:80 /a%20b.html?q=x%20y h "},
        {"http://h/\xc3\xa9.html", "", "h:80 /%C3%A9.html h "},
        {"h.org:81/p", "proxy.lan:3128", "proxy.lan:3128 http://h.org:81/p h.org:81 "},
        {"http://h/a b#y", "proxy", "proxy:8000 http://h/a%20b h "},
        {"https://h:443/x", "", "h:443 /x h "},
        {"HTTPS://h:8443/x", "", "h:8443 /x h:8443 "},
        // Inside a tunnel the request is the server's own.
        {"https://h/a b", "proxy:3128", "proxy:3128 /a%20b h h:443"},
        {"http://[::1]:8080/x", "", "::1:8080 /x [::1]:8080 "},
        {"http://[::1]/x", "[::2]:3128", "::2:3128 http://[::1]/x [::1] "}};
    for (const auto& [url, proxy, wire] : rows) {
        const HttpTarget t = makeHttpTarget(url, proxy, "8000");
        EXPECT_EQ(t.connectHost + ":" + t.connectPort + " " + t.requestPath + " " + t.hostField +
                      " " + t.tunnel,
                  wire);
        EXPECT_EQ(t.secure, url.substr(0, 5) == "https" || url.substr(0, 5) == "HTTPS");
        EXPECT_EQ(t.url.find('#'), std::string::npos) << url;
    }
    const HttpTarget t = makeHttpTarget("http://u:p@h.org", "", "80");
    EXPECT_EQ(t.url + " " + t.user + ":" + t.password, "http://h.org/ u:p");
    EXPECT_EQ(makeHttpTarget("http://h/", "proxy", "").connectPort, "80");
}

TEST(HttpUrlTest, TunnelRequestsCarryTheProxyCredentialsOnOneLine) {
    EXPECT_EQ(composeConnectRequest("h:443", "u", "p\r\nX: 1"),
              "CONNECT h:443 HTTP/1.0\r\nHost: h:443\r\n"
              "Proxy-Authorization: Basic dTpwWDogMQ==\r\n\r\n");
    EXPECT_EQ(composeConnectRequest("h:443", "", ""),
              "CONNECT h:443 HTTP/1.0\r\nHost: h:443\r\n\r\n");
}

TEST(HttpUrlTest, RedirectsResolveAgainstTheCurrentUrl) {
    const std::string base = "http://h:81/a/b/c.html?q";
    const struct {
        std::string_view from;
        std::string_view location;
        std::string_view resolved;  // empty: not followed
        bool followHttps = false;
    } cases[] = {
        {base, "http://o/z", "http://o/z"},
        {base, "HTTP://O:82", "http://O:82/"},
        {base, "//cdn/x", "http://cdn/x"},
        {base, "/x/../y", "http://h:81/y"},
        {base, "./", "http://h:81/a/b/"},
        {base, "../../../../d", "http://h:81/d"},
        {base, "?r", "http://h:81/a/b/c.html?r"},
        {base, " x#frag ", "http://h:81/a/b/x"},
        {base, "d?u=/../v", "http://h:81/a/b/d?u=/../v"},
        {"http://[::1]:82/a/b", "c", "http://[::1]:82/a/c"},
        {base, "https://h/", ""},
        {base, "ftp://h/", ""},
        {base, "mailto:x@y", ""},
        {base, "", ""},
        {base, "#top", ""},
        {base, "http:f", ""},
        {base, "http://[::1]x:1/", ""},
        {base, "HTTPS://h/x", "https://h/x", true},
        {base, "ftp://h/x", "", true},
        // A relative location stays on the scheme it came from.
        {"https://h/a/b", "c", "https://h/a/c"},
        {"https://h/a/b", "//o/c", "https://o/c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolveHttpRedirect(c.from, c.location, c.followHttps).value_or(""), c.resolved)
            << c.location;
    }
}

}  // namespace
}  // namespace quillharbor
