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
    Profile loaded() const {
        Result<Profile> profile = Profile::load(path());
        EXPECT_TRUE(profile.ok());
        return profile.ok() ? std::move(profile).value() : Profile(path());
    }

    test::TempDirectory m_dir;
};

TEST_F(ProfileTest, ReadsLfAndCrLfAndMatchesNamesWithoutCaseOrBlanks) {
    EXPECT_EQ(readProfileString(path(), "General", "TaskRoot", "fallback").value(), "fallback");
    EXPECT_FALSE(fileExists(path())) << "reading creates nothing";
    writeFile(
        "orphan=before any section\n[General]\r\n  TaskRoot = /data/ \r\n;MaxFiles=1\nEmpty=\n"
        "Twice=first\nTwice=second\n[ default ]\nExtensions=.htm .html \n[general]\n"
        "Late=ignored, the first section counts\nLast=no line end");
    Profile profile = loaded();
    EXPECT_EQ(profile.readString("GENERAL", "taskroot", "x"), " /data/ ") << "values as they stand";
    EXPECT_EQ(profile.readString("Default", "EXTENSIONS", "x"), ".htm .html ");
    EXPECT_EQ(profile.readString("General", "Empty", "x"), "");
    EXPECT_EQ(profile.readString("General", "Twice", "x"), "first");
    // A comment is no key; the first section of a name counts; a cut last line is no line.
    for (const char* key : {"MaxFiles", "orphan", "Late", "Last"}) {
        EXPECT_EQ(profile.readString("General", key, "x"), "x") << key;
    }
    EXPECT_FALSE(profile.find("Missing", "Last"));
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineAndWritesCrLf) {
    writeFile(
        "; written by hand\n[Other]\nUnknown=kept\n\n[General]\ntaskroot=/old/\nCustom=1\n\n"
        "; about the defaults\n[Default]\nParse=1\n[Empty]\n");
    Profile profile = loaded();
    ASSERT_TRUE(profile.writeString("General", "TaskRoot", "/new/").ok());
    ASSERT_TRUE(profile.writeString("general", "NameAuto", "1").ok());
    ASSERT_TRUE(profile.writeString("Default", "MaxFiles", "300").ok());
    ASSERT_TRUE(profile.writeString("Empty", "A", "1").ok());
    ASSERT_TRUE(profile.writeString("Added", "Key", "v").ok());
    ASSERT_TRUE(profile.save().ok());
    EXPECT_EQ(readWholeFile(path()).valueOr("?"),
              "; written by hand\r\n[Other]\r\nUnknown=kept\r\n\r\n[General]\r\nTaskRoot=/new/\r\n"
              "Custom=1\r\nNameAuto=1\r\n\r\n; about the defaults\r\n[Default]\r\nParse=1\r\n"
              "MaxFiles=300\r\n[Empty]\r\nA=1\r\n\r\n[Added]\r\nKey=v\r\n");
    ASSERT_TRUE(writeProfileString(m_dir / "new.ini", "General", "Key", "value").ok());
    EXPECT_EQ(readWholeFile(m_dir / "new.ini").valueOr("?"), "[General]\r\nKey=value\r\n");
}

TEST_F(ProfileTest, RefusesWhatCouldNotBeReadBackAndLeavesTheProfileAlone) {
    Profile profile(path());
    EXPECT_FALSE(profile.writeString("General", "Password", "one\r\n[General]\r\nx=1").ok());
    for (const char* key : {"a=b", ";note", " padded"}) {
        EXPECT_FALSE(profile.writeString("General", key, "1").ok()) << key;
    }
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
