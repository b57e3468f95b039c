#include "parser/url_helpers.h"
#include "parser/percent_encoding.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quillharbor {
namespace {

TEST(UrlKindTest, SchemesAreExactAndCaseSensitive) {
    EXPECT_EQ(UrlKind("http://h/a"), UrlType::Http);
    EXPECT_EQ(UrlKind("ftp://h/a"), UrlType::Ftp);
    EXPECT_EQ(UrlKind("HTTP://h/a"), UrlType::OtherScheme);
    EXPECT_EQ(UrlKind("https://h/a"), UrlType::Https);
    EXPECT_EQ(UrlKind("HTTPS://h/a"), UrlType::OtherScheme);
    EXPECT_EQ(UrlKind("a/b:c"), UrlType::NoScheme);  // slash before the colon
    EXPECT_EQ(UrlKind(":x"), UrlType::NoScheme);
    // A scheme is letters, digits, "+", "-" and "." with no "/", "?" or "#" before its colon.
    EXPECT_EQ(UrlKind("p.html?t=12:00"), UrlType::NoScheme);
    EXPECT_EQ(UrlKind("p#t:1"), UrlType::NoScheme);
    EXPECT_EQ(UrlKind("a b:c"), UrlType::NoScheme);
    EXPECT_EQ(UrlKind("svn+ssh://h/"), UrlType::OtherScheme);
    EXPECT_EQ(UrlProtocol("ftp.h.org/x"), Protocol::Ftp);
    EXPECT_EQ(UrlProtocol("FTP.h.org/x"), Protocol::Http);
    EXPECT_EQ(UrlProtocol("news:x"), Protocol::Other);
    EXPECT_EQ(UrlProtocol("https://h/x"), Protocol::Http);
}

TEST(UrlKindTest, HttpAndHttpsOfOneHostAndPathAreTwins) {
    const struct {
        std::string_view url;
        std::string_view twin;
    } cases[] = {
        {"http://h/docs/x.html?q", "https://h/docs/x.html?q"},
        {"https://u:p@h/", "http://u:p@h/"},
        {"http://h:80/x", "https://h/x"},
        {"https://h:443", "http://h"},
        {"https://[::1]/x", "http://[::1]/x"},
        {"http://h:8080/x", ""},
        {"https://h:80/x", ""},
        {"https:a/x", "http:a/x"},
        {"http:a", "https:a"},
        {"ftp://h/x", ""},
        {"h/x", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SchemeTwin(c.url), c.twin) << c.url;
    }
}

TEST(UrlPartsTest, HostKeepsPortAndDirEndsWithSlash) {
    EXPECT_EQ(HostPart("http://h:8080/a/b.html"), "http://h:8080");
    EXPECT_EQ(HostPart("http://h"), "http://h");
    EXPECT_EQ(HostPart("h.org/a/b"), "h.org");
    EXPECT_EQ(HostPart("mailto:x@h"), "");
    EXPECT_EQ(DirPart("http://h/a/b.html"), "http://h/a/");
    EXPECT_EQ(DirPart("x.html"), "");
    // The query and the fragment are no part of the host or the directory.
    EXPECT_EQ(HostPart("http://h?q=/a/b"), "http://h");
    EXPECT_EQ(HostPart("http://h:81#x/y"), "http://h:81");
    EXPECT_EQ(HostPart("h.org?q=/a"), "h.org");
    EXPECT_EQ(DirPart("http://h/a/b.cgi?p=c/d"), "http://h/a/");
    EXPECT_EQ(DirPart("http://h/a/b#c/d"), "http://h/a/");
    EXPECT_EQ(StripFragment("x#a#b"), "x");
    EXPECT_EQ(FtpHostOf("ftp://h:21/pub/dir/file"), "h:21");
    EXPECT_EQ(FtpDirOf("ftp://h/pub/dir/file"), "/pub/dir/");
    EXPECT_EQ(FtpDirOf("ftp://h"), "");
}

TEST(FileNameTest, ExtensionAndStem) {
    EXPECT_EQ(FileExtOf("a.tar.gz"), ".gz");
    EXPECT_EQ(FileExtOf("readme"), "");
    EXPECT_EQ(NameWithoutExt("a.tar.gz"), "a.tar");
    EXPECT_EQ(NameWithoutExt(".profile"), ".profile");
}

TEST(FileNameTest, LocalNameIsTheLastSegmentMadeSafe) {
    EXPECT_EQ(LocalNameFromUrl("http://h/a/b.html"), "b.html");
    EXPECT_EQ(LocalNameFromUrl("http://h/a/"), "");
    EXPECT_EQ(LocalNameFromUrl("http://h"), "");
    EXPECT_EQ(LocalNameFromUrl("C:\\dir\\f.txt"), "f.txt");
    EXPECT_EQ(LocalNameFromUrl("http://h/cgi/run.pl?a=1&b=2"), "run.pl");
    EXPECT_EQ(LocalNameFromUrl("http://h/?a=1"), "-a=1");
    EXPECT_EQ(LocalNameFromUrl("http://h/a:b*c<d>e|f'g\"h"), "a-b-c-d-e-f-g\"h");
    EXPECT_EQ(LocalNameFromUrl(std::string("http://h/a\0b.exe", 16)), "a-b.exe");
    EXPECT_EQ(LocalNameFromUrl("http://h/a/.."), "");
    EXPECT_EQ(LocalNameFromUrl("http://h/a/."), "");
    EXPECT_EQ(LocalNameFromUrl("http://h/a/b.cgi?u=/x.html"), "b.cgi");
    EXPECT_EQ(LocalNameFromUrl("http://h/?u=/x.html"), "-u=-x.html");
    EXPECT_EQ(LocalNameFromUrl("http://h/a#b/c"), "a");
    EXPECT_EQ(LocalNameFromUrl("http://h/a/#b"), "");
    EXPECT_EQ(LocalNameFromUrl("http://h?u=/x.html"), "");
}

class MakeUniqueNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qh-names-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = std::string(pattern) + "/";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    void touch(const std::string& name) { std::ofstream(m_dir + name).put('x'); }

    std::string m_dir;
};

TEST_F(MakeUniqueNameTest, NumbersBeforeTheExtension) {
    EXPECT_EQ(MakeUniqueName("index.html", m_dir), "index.html");
    touch("index.html");
    touch("index-1.html");
    EXPECT_EQ(MakeUniqueName("index.html", m_dir), "index-2.html");
    touch("README");
    EXPECT_EQ(MakeUniqueName("README", m_dir), "README-1");
    touch(".profile");
    EXPECT_EQ(MakeUniqueName(".profile", m_dir), ".profile-1");
    std::filesystem::create_directory(m_dir + "sub");
    EXPECT_EQ(MakeUniqueName("sub", m_dir), "sub-1");
}

TEST(CleanTypedUrlTest, TrimsCutsAndCompletes) {
    const auto clean = [](std::string text) {
        CleanTypedUrl(text);
        return text;
    };
    EXPECT_EQ(clean(" \t\r\n "), "");
    EXPECT_EQ(clean("  www.h.org\r\n"), "http://www.h.org/");
    EXPECT_EQ(clean("ftp.h.org"), "ftp://ftp.h.org/");
    EXPECT_EQ(clean("h.org/a b"), "http://h.org/a%20b");
    EXPECT_EQ(clean(std::string("http://h/a\0junk", 15)), "http://h/a");
    EXPECT_EQ(clean("HTTP://h/"), "");
    EXPECT_EQ(clean("http://h"), "http://h/");
    EXPECT_EQ(clean("\xe9t\xe9.org"), "http://\xe9t\xe9.org/");  // high bytes are not blanks
    EXPECT_EQ(clean("http://h?q=1"), "http://h/?q=1");
    EXPECT_EQ(clean("h.org?q=/1"), "http://h.org/?q=/1");
    EXPECT_EQ(clean("//cdn.x.com/a.js"), "http://cdn.x.com/a.js");
    EXPECT_EQ(clean("//ftp.x.org"), "ftp://ftp.x.org/");
    EXPECT_EQ(clean("//"), "");
    EXPECT_EQ(clean("http://h/index.html#intro"), "http://h/index.html");
    EXPECT_EQ(clean("http://h/a/./b/../c d"), "http://h/a/c%20d");
    EXPECT_EQ(clean("http://h/../x"), "");
}

TEST(UrlPathTest, DotSegmentsAndEscapes) {
    struct Case {
        std::string_view path;
        std::string_view failing;  // "!" for nullopt
        std::string_view ignoring;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"/a/b/../c", "/a/c", "/a/c"},
             {"/a/./b/.", "/a/b/", "/a/b/"},
             {"/a/b/..", "/a/", "/a/"},
             {"/a//../b", "/a/b", "/a/b"},
             {"/a/b/", "/a/b/", "/a/b/"},
             {"", "", ""},
             {"x/../../y", "!", "y"},
             {"/../d", "!", "/d"},
             {"/..", "!", "/"},
         }) {
        EXPECT_EQ(RemoveDotSegments(c.path, DotDotAtRoot::Fail).value_or("!"), c.failing) << c.path;
        EXPECT_EQ(RemoveDotSegments(c.path, DotDotAtRoot::Ignore).value_or("!"), c.ignoring)
            << c.path;
    }
    EXPECT_EQ(PercentEncodeUrl("a b\x7f\x01\xff%%4%41"), "a%20b%7F%01%FF%25%254%41");
}

TEST(FirstNumberInTest, SkipsLeadingDigits) {
    EXPECT_EQ(FirstNumberIn("213 1048576"), 1048576);
    EXPECT_EQ(FirstNumberIn("size: 5000000000 bytes"), 5000000000);
    EXPECT_EQ(FirstNumberIn("213"), 0);
    EXPECT_EQ(FirstNumberIn("x99999999999999999999"), 0);
}

}  // namespace
}  // namespace quillharbor
