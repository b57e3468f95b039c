// The URL helpers, percent escapes and host:port splitting, each text function by name so one
// table holds every case; and links resolved against their base.

#include "parser/url_helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "parser/attribute_url.h"
#include "parser/host_port.h"
#include "parser/link_resolver.h"
#include "parser/percent_encoding.h"

namespace quillharbor {
namespace {

std::string dots(std::string_view path, DotDotAtRoot atRoot) {
    return RemoveDotSegments(path, atRoot).value_or("!");
}

const std::map<std::string_view, std::function<std::string(std::string)>> kFunctions = {
    {"kind", [](std::string u) { return std::to_string(static_cast<int>(UrlKind(u))); }},
    {"protocol", [](std::string u) { return std::to_string(static_cast<int>(UrlProtocol(u))); }},
    {"twin", [](std::string u) { return SchemeTwin(u); }},
    {"host", [](std::string u) { return HostPart(u); }},
    {"dir", [](std::string u) { return DirPart(u); }},
    {"ftpHost", [](std::string u) { return FtpHostOf(u); }},
    {"ftpDir", [](std::string u) { return FtpDirOf(u); }},
    {"stem", [](std::string u) { return NameWithoutExt(u) + "|" + FileExtOf(u); }},
    {"number", [](std::string u) { return std::to_string(FirstNumberIn(u)); }},
    {"local", [](std::string u) { return LocalNameFromUrl(u); }},
    {"clean",
     [](std::string u) {
         CleanTypedUrl(u);
         return u;
     }},
    {"dots",
     [](std::string p) { return dots(p, DotDotAtRoot::Fail) + dots(p, DotDotAtRoot::Ignore); }},
    {"encode", [](std::string t) { return PercentEncodeUrl(t); }},
    {"segment", [](std::string t) { return PercentEncodeSegment(t); }},
    {"decode", [](std::string t) { return PercentDecode(t); }},
    {"hostPort",
     [](std::string t) {
         const HostAndPort split = SplitHostPort(t);
         return std::string(split.host) + "|" + std::string(split.port) + "|" +
                std::string(HostWithoutBrackets(split.host));
     }},
};

TEST(UrlHelpersTest, EachFunctionOverItsRows) {
    // Each input followed by what the function gives for it.
    const std::pair<std::string_view, std::vector<std::string>> tables[] = {
        // Schemes are exact; no "/", "?" or "#" comes before a scheme's colon.
        {"kind",
         {"http://h/a", "1", "ftp://h/a", "2", "https://h/a", "5", "HTTPS://h/a", "4", "a/b:c", "3",
          ":x", "3", "p.html?t=12:00", "3"}},
        {"protocol", {"https://h/x", "1", "ftp.h.org/x", "2", "FTP.h.org/x", "1", "news:x", "4"}},
        // http and https of one host, path and default port are twins; each keeps its form.
        {"twin",
         {"http://h/docs/x.html?q", "https://h/docs/x.html?q", "http://h:80/x", "https://h/x",
          "https://h:443", "http://h", "http://h:8080/x", "", "https:a/x", "http:a/x", "http:a",
          "https:a", "ftp://h/x", ""}},
        {"host",
         {"http://h:8080/a/b.html", "http://h:8080", "mailto:x@h", "", "http://h:81#x/y",
          "http://h:81", "h.org?q=/a", "h.org"}},
        {"dir", {"x.html", "", "http://h/a/b.cgi?p=c/d", "http://h/a/"}},
        {"ftpHost", {"ftp://h:21/pub/dir/file", "h:21"}},
        {"ftpDir", {"ftp://h/pub/dir/file", "/pub/dir/", "ftp://h", ""}},
        {"stem", {"a.tar.gz", "a.tar|.gz", "readme", "readme|"}},
        {"number",
         {"size: 5000000000 bytes", "5000000000", "213", "0", "x99999999999999999999", "0"}},
        // The last segment made safe; "." and ".." and a directory give no name.
        {"local",
         {"C:\\dir\\f.txt", "f.txt", "http://h/cgi/run.pl?a=1&b=2", "run.pl",
          "http://h/a:b*c<d>e|f'g\"h", "a-b-c-d-e-f-g\"h", std::string("http://h/a\0b.exe", 16),
          "a-b.exe", "http://h/a/..", "", "http://h/?u=/x.html", "-u=-x.html", "http://h?u=/x.html",
          ""}},
        // A typed URL is trimmed, cut at NUL, given its scheme and its root slash.
        // clang-format off
        {"clean", {" \t\r\n ", "", "  www.h.org\r\n", "http://www.h.org/", "HTTP://h/", "",
                   "http://h", "http://h/", "\xe9t\xe9.org", "http://\xe9t\xe9.org/",
                   "h.org?q=/1", "http://h.org/?q=/1", "//ftp.x.org", "ftp://ftp.x.org/", "//", "",
                   "http://h/index.html#intro", "http://h/index.html", "http://h/../x", "",
                   "http://h/a/./b/../c d", "http://h/a/c%20d",
                   std::string("http://h/a\0junk", 15), "http://h/a"}},
        // clang-format on
        {"dots",
         {"/a/./b/.", "/a/b//a/b/", "/a//../b", "/a/b/a/b", "x/../../y", "!y", "/..", "!/"}},
        {"encode", {"a b\x7f\x01\xff%%4%41", "a%20b%7F%01%FF%25%254%41"}},
        {"segment", {"a/b?c#d%e&f\"<>' ~(x)", "a%2Fb%3Fc%23d%25e%26f%22%3C%3E%27%20~(x)"}},
        {"decode",
         {"%41%6a%4A%C3%A9", "AjJ\xC3\xA9", "100%", "100%", "a%2", "a%2", "a%zz%%41", "a%zz%A",
          "a%0D%0A%00", std::string("a\r\n\0", 4)}},
        // Only the port's colon splits; an unclosed bracket is one name.
        {"hostPort",
         {"h", "h||h", "h:8080", "h|8080|h", "h:", "h||h", "[fe80::1%25lo]:21",
          "[fe80::1%25lo]|21|fe80::1%25lo", "[::1", "[::1||[::1", "[::1]x:80",
          "[::1]x:80||[::1]x:80", "::1", ":|1|:"}},
    };
    for (const auto& [function, pairs] : tables) {
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
            EXPECT_EQ(kFunctions.at(function)(pairs[i]), pairs[i + 1])
                << function << " " << pairs[i];
        }
    }
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    EXPECT_EQ(PercentDecode(PercentEncodeSegment(everyByte)), everyByte);
}

// Each link followed by what it resolves to against the base; "" is a link never followed.
TEST(ResolveLinkTest, LinksAgainstTheirBase) {
    const std::string longChain = [] {
        std::string chain;
        for (int i = 0; i < 100000; ++i) chain += "../";
        return chain + "x";
    }();
    // clang-format off
    const std::pair<std::string_view, std::vector<std::string>> tables[] = {
        {"http://H/a/b/p.html", {
            "x.html", "http://H/a/b/x.html",     "/x.gif", "http://H/x.gif",
            "./", "http://H/a/b/",               "?q=1", "http://H/a/b/p.html?q=1",
            // Dot segments go everywhere but never climb past the root; the query keeps its own.
            "a/./b/..", "http://H/a/b/a/",       "../../x.html", "http://H/x.html",
            "http://O/z/../y/./x", "http://O/y/x", "x?u=/../v", "http://H/a/b/x?u=/../v",
            "../../../x.html", "",               "http://O/../x", "",       longChain, "",
            "x.html#a#b", "http://H/a/b/x.html", "p.html?t=12:00", "http://H/a/b/p.html?t=12:00",
            // Schemes and hosts; names with dots are directories unless they lead the link.
            "http://O", "http://O/",             "//CDN:8080/x.gif", "http://CDN:8080/x.gif",
            "//ftp.h.org/pub/f", "ftp://ftp.h.org/pub/f", "//H?q", "http://H/?q",
            "HOST.DOM/x", "http://HOST.DOM/x",   "ftp.h.org/pub/", "ftp://ftp.h.org/pub/",
            "http://h?q=1", "http://h/?q=1",     "v1.2/a.html", "http://H/a/b/v1.2/a.html",
            "index.php/2019/", "http://H/a/b/index.php/2019/",
            "page.php?next=/home", "http://H/a/b/page.php?next=/home",
            "x.com?u=/y", "http://H/a/b/x.com?u=/y", "https://O", "https://O/",
            // Attribute values as browsers read them: blanks trimmed, references decoded.
            "\t\r\nx.html\n", "http://H/a/b/x.html", "long/\n  x.html", "http://H/a/b/long/%20%20x.html",
            "q?a=1&#38;b=2&#x26;c=3&#X26;d&amp;e", "http://H/a/b/q?a=1&b=2&c=3&d&e",
            "q?a=&lt;&gt;&quot;&apos;", "http://H/a/b/q?a=%3C%3E%22'", "x&#35;top", "http://H/a/b/x",
            "&#xE9;.html", "http://H/a/b/%C3%A9.html",
            "q?a&b=1&copy=2&amp", "http://H/a/b/q?a&b=1&copy=2&amp", "q?&#0;", "http://H/a/b/q?&",
            // Only what may not stand raw is encoded.
            "a%20b c.html", "http://H/a/b/a%20b%20c.html",
            "x\"<>^`{|}.html?q=a b", "http://H/a/b/x%22%3C%3E%5E%60%7B%7C%7D.html?q=a%20b",
            "100%.html?p=%zz", "http://H/a/b/100%25.html?p=%25zz",
            "a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]", "http://H/a/b/a%2fb;c=d,e~f!g$h'i(j)k*l+m@n:o[p]",
            "#top", "", " ", "", "mailto:x@h", "", "HTTPS://H/x", "", "a\\b.html", "",
            "a&#92;b", "", "///x", "", "//?q", "", "javascript:go()", ""}},
        {"http://H:81", {"/x.html", "http://H:81/x.html", "../x.html", ""}},
        {"http://H/p.html", {"../x", ""}},
        {"", {"../x", ""}},
        {"http://H/a/b.cgi?p=c/d", {"y.html", "http://H/a/y.html"}},
        {"http://H/api/", {"index.html?com/x.html", "http://H/api/index.html?com/x.html"}},
        {"http://h:81?q=/a/b", {"/x", "http://h:81/x"}},
        {"https://H/a/b/", {"//CDN/x.gif", "https://CDN/x.gif", "../c d.html", "https://H/a/c%20d.html"}},
    };
    // clang-format on
    for (const auto& [base, pairs] : tables) {
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
            std::string link = pairs[i];
            ResolveLink(link, base);
            EXPECT_EQ(link, pairs[i + 1])
                << "\"" << pairs[i].substr(0, 40) << "\" against " << base;
        }
    }
    EXPECT_EQ(UrlFromAttributeValue(" a&amp;b&#0;&#xD800;&#99999999;&#x;"),
              "a&b&#0;&#xD800;&#99999999;&#x;");
}

}  // namespace
}  // namespace quillharbor
