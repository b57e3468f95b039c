#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

class ProfileTest : public ::testing::Test {
protected:
    std::string path() const { return m_dir / "test.ini"; }
    void writeFile(std::string_view text) { ASSERT_TRUE(replaceFileAtomically(path(), text).ok()); }
    std::string fileText() const { return readWholeFile(path()).valueOr("?"); }
    Profile loaded() const {
        Result<Profile> profile = Profile::load(path());
        EXPECT_TRUE(profile.ok());
        return profile.ok() ? std::move(profile).value() : Profile(path());
    }

    test::TempDirectory m_dir;
};

TEST_F(ProfileTest, MissingFileGivesDefaults) {
    Result<std::string> value = readProfileString(path(), "General", "TaskRoot", "fallback");
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value.value(), "fallback");
    EXPECT_FALSE(loaded().find("General", "TaskRoot"));
    EXPECT_FALSE(fileExists(path())) << "reading creates nothing";
}

TEST_F(ProfileTest, ReadsLfAndCrLfAndMatchesNamesWithoutCaseOrBlanks) {
    writeFile(
        "orphan=before any section\n"
        "[General]\r\n"
        "  TaskRoot = /data/ \r\n"
        ";MaxFiles=1\n"
        "Empty=\n"
        "Twice=first\n"
        "Twice=second\n"
        "[ default ]\n"
        "Extensions=.htm .html \n"
        "[general]\n"
        "Late=ignored, the first section counts\n"
        "Last=no line end");
    Profile profile = loaded();
    EXPECT_EQ(profile.readString("GENERAL", "taskroot", "x"), " /data/ ") << "values as they stand";
    EXPECT_EQ(profile.readString("Default", "EXTENSIONS", "x"), ".htm .html ");
    EXPECT_EQ(profile.readString("General", "Empty", "x"), "");
    EXPECT_EQ(profile.readString("General", "Twice", "x"), "first");
    EXPECT_EQ(profile.readString("General", "MaxFiles", "x"), "x") << "a comment is no key";
    EXPECT_EQ(profile.readString("General", "orphan", "x"), "x");
    EXPECT_EQ(profile.readString("General", "Late", "x"), "x");
    EXPECT_EQ(profile.readString("General", "Last", "x"), "x");
    EXPECT_EQ(profile.readString("Missing", "Last", "x"), "x");
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineAndWritesCrLf) {
    writeFile(
        "; written by hand\n"
        "[Other]\n"
        "Unknown=kept\n"
        "\n"
        "[General]\n"
        "taskroot=/old/\n"
        "Custom=1\n"
        "\n"
        "; about the defaults\n"
        "[Default]\n"
        "Parse=1\n");
    Profile profile = loaded();
    ASSERT_TRUE(profile.writeString("General", "TaskRoot", "/new/").ok());
    ASSERT_TRUE(profile.writeString("general", "NameAuto", "1").ok());
    ASSERT_TRUE(profile.writeString("Default", "MaxFiles", "300").ok());
    ASSERT_TRUE(profile.writeString("Added", "Key", "v").ok());
    ASSERT_TRUE(profile.save().ok());

    EXPECT_EQ(fileText(),
              "; written by hand\r\n"
              "[Other]\r\n"
              "Unknown=kept\r\n"
              "\r\n"
              "[General]\r\n"
              "TaskRoot=/new/\r\n"
              "Custom=1\r\n"
              "NameAuto=1\r\n"
              "\r\n"
              "; about the defaults\r\n"
              "[Default]\r\n"
              "Parse=1\r\n"
              "MaxFiles=300\r\n"
              "\r\n"
              "[Added]\r\n"
              "Key=v\r\n");
}

TEST_F(ProfileTest, NewSectionsAndKeysInAnEmptyFileAndInAnEmptySection) {
    writeFile("[Empty]\n");
    Profile profile = loaded();
    ASSERT_TRUE(profile.writeString("Empty", "A", "1").ok());
    ASSERT_TRUE(profile.writeString("Empty", "B", "2").ok());
    EXPECT_EQ(profile.text(), "[Empty]\r\nA=1\r\nB=2\r\n");

    ASSERT_TRUE(writeProfileString(m_dir / "new.ini", "General", "Key", "value").ok());
    EXPECT_EQ(readWholeFile(m_dir / "new.ini").valueOr("?"), "[General]\r\nKey=value\r\n");
}

TEST_F(ProfileTest, RefusesWhatCouldNotBeReadBackAndLeavesTheProfileAlone) {
    Profile profile(path());
    EXPECT_FALSE(profile.writeString("General", "Password", "one\r\n[General]\r\nx=1").ok());
    EXPECT_FALSE(profile.writeString("General", "a=b", "1").ok());
    EXPECT_FALSE(profile.writeString("General", ";note", "1").ok());
    EXPECT_FALSE(profile.writeString("General", " padded", "1").ok());
    EXPECT_FALSE(profile.writeString("", "Key", "1").ok());
    EXPECT_FALSE(profile.writeString("a]b", "Key", "1").ok());
    EXPECT_EQ(profile.text(), "");
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsAnErrorAndIsNotOverwritten) {
    ASSERT_TRUE(createDirectories(path()).ok());
    EXPECT_FALSE(Profile::load(path()).ok());
    EXPECT_FALSE(readProfileString(path(), "General", "Key", "x").ok());
    EXPECT_FALSE(writeProfileString(path(), "General", "Key", "x").ok());
    EXPECT_TRUE(std::filesystem::is_directory(path()));
}

}  // namespace
}  // namespace quillharbor
