#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// The six parts the HTTP client splits a URL, a proxy name or a redirect target into. Parts that
// the text does not have stay empty.
struct HttpUrlParts {
    std::string protocol;
    std::string user;
    std::string password;
    std::string host;
    std::string port;
    std::string path;  // keeps its leading "/"; "http://h?q" has the path "/?q"
};

// Lenient on purpose: a bare host name gives only the host, "/x" gives protocol "http" and the
// path, and "http:x" (no slashes) gives protocol "http" and the path "x". The authority is split
// at its last "@" and last ":", so "user:pw@host:81" gives all four of its parts; an IPv6 literal
// keeps its brackets in the host ("[::1]:81" is "[::1]" and "81").
HttpUrlParts splitHttpUrl(std::string_view text);

// protocol ("http" when there is none) "://" host [":" port] path, or "/" for an empty path.
// The user and password are left out: they are not part of what is fetched.
std::string absoluteHttpUrl(const HttpUrlParts& parts);

}  // namespace quillharbor
