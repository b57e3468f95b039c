#include "parser/url_helpers.h"

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
    EXPECT_EQ(UrlKind("https://h/a"), UrlType::OtherScheme);
    EXPECT_EQ(UrlKind("a/b:c"), UrlType::NoScheme);  // slash before the colon
    EXPECT_EQ(UrlKind(":x"), UrlType::NoScheme);
    EXPECT_EQ(UrlProtocol("ftp.h.org/x"), Protocol::Ftp);
    EXPECT_EQ(UrlProtocol("FTP.h.org/x"), Protocol::Http);
    EXPECT_EQ(UrlProtocol("news:x"), Protocol::Other);
}

TEST(UrlPartsTest, HostKeepsPortAndDirEndsWithSlash) {
    EXPECT_EQ(HostPart("http://h:8080/a/b.html"), "http://h:8080");
    EXPECT_EQ(HostPart("http://h"), "http://h");
    EXPECT_EQ(HostPart("h.org/a/b"), "h.org");
    EXPECT_EQ(HostPart("mailto:x@h"), "");
    EXPECT_EQ(DirPart("http://h/a/b.html"), "http://h/a/");
    EXPECT_EQ(DirPart("x.html"), "");
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
    EXPECT_EQ(clean("h.org/a b"), "http://h.org/a b");
    EXPECT_EQ(clean(std::string("http://h/a\0junk", 15)), "http://h/a");
    EXPECT_EQ(clean("HTTP://h/"), "");
    EXPECT_EQ(clean("http://h"), "http://h/");
    EXPECT_EQ(clean("\xe9t\xe9.org"), "http://\xe9t\xe9.org/");  // high bytes are not blanks
}

TEST(FirstNumberInTest, SkipsLeadingDigits) {
    EXPECT_EQ(FirstNumberIn("213 1048576"), 1048576);
    EXPECT_EQ(FirstNumberIn("size: 5000000000 bytes"), 5000000000);
    EXPECT_EQ(FirstNumberIn("213"), 0);
    EXPECT_EQ(FirstNumberIn("x99999999999999999999"), 0);
}

}  // namespace
}  // namespace quillharbor
