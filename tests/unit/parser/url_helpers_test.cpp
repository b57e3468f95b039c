#include "parser/url_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "parser/percent_encoding.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

using Rows = std::initializer_list<std::pair<std::string, std::string>>;

// Each row's input through the function, its expected output beside it.
template <typename Function>
void expectRows(Function function, Rows rows) {
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(function(in), out) << '"' << in << '"';
    }
}

TEST(UrlKindTest, SchemesAreExactAndCaseSensitive) {
    const std::pair<const char*, UrlType> kinds[] = {{"http://h/a", UrlType::Http},
                                                     {"ftp://h/a", UrlType::Ftp},
                                                     {"https://h/a", UrlType::Https},
                                                     {"HTTPS://h/a", UrlType::OtherScheme},
                                                     {"svn+ssh://h/", UrlType::OtherScheme},
                                                     {"a/b:c", UrlType::NoScheme},
                                                     {":x", UrlType::NoScheme},
                                                     {"a b:c", UrlType::NoScheme},
                                                     // No "/", "?" or "#" before a scheme's colon.
                                                     {"p.html?t=12:00", UrlType::NoScheme},
                                                     {"p#t:1", UrlType::NoScheme}};
    for (const auto& [url, kind] : kinds) {
        EXPECT_EQ(UrlKind(url), kind) << url;
    }
    EXPECT_EQ(UrlProtocol("ftp.h.org/x"), Protocol::Ftp);
    EXPECT_EQ(UrlProtocol("FTP.h.org/x"), Protocol::Http);
    EXPECT_EQ(UrlProtocol("news:x"), Protocol::Other);
    EXPECT_EQ(UrlProtocol("https://h/x"), Protocol::Http);
}

TEST(UrlKindTest, HttpAndHttpsOfOneHostAndPathAreTwins) {
    expectRows([](const std::string& url) { return std::string(SchemeTwin(url)); },
               {{"http://h/docs/x.html?q", "https://h/docs/x.html?q"},
                {"https://u:p@h/", "http://u:p@h/"},
                {"http://h:80/x", "https://h/x"},
                {"https://h:443", "http://h"},
                {"https://[::1]/x", "http://[::1]/x"},
                {"http://h:8080/x", ""},
                {"https://h:80/x", ""},
                {"https:a/x", "http:a/x"},
                {"http:a", "https:a"},
                {"ftp://h/x", ""},
                {"h/x", ""}});
}

TEST(UrlPartsTest, HostKeepsPortDirEndsWithSlashAndNeitherTakesTheQuery) {
    expectRows([](const std::string& url) { return std::string(HostPart(url)); },
               {{"http://h:8080/a/b.html", "http://h:8080"},
                {"h.org/a/b", "h.org"},
                {"mailto:x@h", ""},
                {"http://h?q=/a/b", "http://h"},
                {"http://h:81#x/y", "http://h:81"},
                {"h.org?q=/a", "h.org"}});
    expectRows([](const std::string& url) { return std::string(DirPart(url)); },
               {{"http://h/a/b.html", "http://h/a/"},
                {"x.html", ""},
                {"http://h/a/b.cgi?p=c/d", "http://h/a/"},
                {"http://h/a/b#c/d", "http://h/a/"}});
    EXPECT_EQ(StripFragment("x#a#b"), "x");
    EXPECT_EQ(FtpHostOf("ftp://h:21/pub/dir/file"), "h:21");
    EXPECT_EQ(FtpDirOf("ftp://h/pub/dir/file"), "/pub/dir/");
    EXPECT_EQ(FtpDirOf("ftp://h"), "");
    EXPECT_EQ(FileExtOf("a.tar.gz") + FileExtOf("readme"), ".gz");
    EXPECT_EQ(NameWithoutExt("a.tar.gz"), "a.tar");
    EXPECT_EQ(NameWithoutExt(".profile"), ".profile");
    EXPECT_EQ(FirstNumberIn("213 1048576"), 1048576);
    EXPECT_EQ(FirstNumberIn("size: 5000000000 bytes"), 5000000000);
    EXPECT_EQ(FirstNumberIn("213"), 0);
    EXPECT_EQ(FirstNumberIn("x99999999999999999999"), 0);
}

TEST(FileNameTest, LocalNameIsTheLastSegmentMadeSafe) {
    expectRows([](const std::string& url) { return LocalNameFromUrl(url); },
               {{"http://h/a/b.html", "b.html"},
                {"http://h/a/", ""},
                {"http://h", ""},
                {"C:\\dir\\f.txt", "f.txt"},
                {"http://h/cgi/run.pl?a=1&b=2", "run.pl"},
                {"http://h/a:b*c<d>e|f'g\"h", "a-b-c-d-e-f-g\"h"},
                {std::string("http://h/a\0b.exe", 16), "a-b.exe"},
                {"http://h/a/..", ""},
                {"http://h/a/.", ""},
                {"http://h/?u=/x.html", "-u=-x.html"},
                {"http://h/a#b/c", "a"},
                {"http://h?u=/x.html", ""}});
}

TEST(FileNameTest, MakeUniqueNameNumbersBeforeTheExtension) {
    test::TempDirectory dir;
    const auto touch = [&](const std::string& name) { std::ofstream(dir / name).put('x'); };
    EXPECT_EQ(MakeUniqueName("index.html", dir.path()), "index.html");
    touch("index.html");
    touch("index-1.html");
    EXPECT_EQ(MakeUniqueName("index.html", dir.path()), "index-2.html");
    touch("README");
    touch(".profile");
    EXPECT_EQ(MakeUniqueName("README", dir.path()), "README-1");
    EXPECT_EQ(MakeUniqueName(".profile", dir.path()), ".profile-1");
    std::filesystem::create_directory(dir / "sub");
    EXPECT_EQ(MakeUniqueName("sub", dir.path()), "sub-1");
}

TEST(CleanTypedUrlTest, TrimsCutsAndCompletes) {
    expectRows(
        [](std::string text) {
            CleanTypedUrl(text);
            return text;
        },
        {{" \t\r\n ", ""},
         {"  www.h.org\r\n", "http://www.h.org/"},
         {"ftp.h.org", "ftp://ftp.h.org/"},
         {std::string("http://h/a\0junk", 15), "http://h/a"},
         {"HTTP://h/", ""},
         {"http://h", "http://h/"},
         {"\xe9t\xe9.org", "http://\xe9t\xe9.org/"},  // high bytes are not blanks
         {"http://h?q=1", "http://h/?q=1"},
         {"h.org?q=/1", "http://h.org/?q=/1"},
         {"//cdn.x.com/a.js", "http://cdn.x.com/a.js"},
         {"//ftp.x.org", "ftp://ftp.x.org/"},
         {"//", ""},
         {"http://h/index.html#intro", "http://h/index.html"},
         {"http://h/a/./b/../c d", "http://h/a/c%20d"},
         {"http://h/../x", ""}});
}

TEST(UrlPathTest, DotSegmentsAndEscapes) {
    const struct {
        std::string_view path, failing /* "!" for nullopt */, ignoring;
    } cases[] = {{"/a/b/../c", "/a/c", "/a/c"}, {"/a/./b/.", "/a/b/", "/a/b/"},
                 {"/a//../b", "/a/b", "/a/b"},  {"", "", ""},
                 {"x/../../y", "!", "y"},       {"/..", "!", "/"}};
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveDotSegments(c.path, DotDotAtRoot::Fail).value_or("!"), c.failing) << c.path;
        EXPECT_EQ(RemoveDotSegments(c.path, DotDotAtRoot::Ignore).value_or("!"), c.ignoring);
    }
    EXPECT_EQ(PercentEncodeUrl("a b\x7f\x01\xff%%4%41"), "a%20b%7F%01%FF%25%254%41");
}

}  // namespace
}  // namespace quillharbor
