#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/program_directory_lock.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

using ::testing::ElementsAre;

class FilesTest : public ::testing::Test {
protected:
    void write(const std::string& name, std::string_view bytes) {
        ASSERT_TRUE(replaceFileAtomically(m_dir / name, bytes).ok());
    }
    std::string read(const std::string& name) { return readWholeFile(m_dir / name).valueOr("?"); }
    std::string path() const { return m_dir / "test.ini"; }
    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // On /dev/shm the flush before a batch's renames costs nothing.
    test::TempDirectory m_dir{"/dev/shm"};
};

// A replaced file keeps its mode; renames and copies never replace a file.
TEST_F(FilesTest, ReplacementsKeepTheModeAndRenamesAndCopiesTakeOnlyAFreeName) {
    std::string large(200 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    write("a", large);
    write("b", "a longer first version");
    ::chmod((m_dir / "b").c_str(), 0600);
    write("b", "second");
    EXPECT_EQ(renameNoReplace(m_dir / "a", m_dir / "b").error().code, EEXIST);
    EXPECT_EQ(copyNoOverwrite(m_dir / "a", m_dir / "b").error().code, EEXIST);
    EXPECT_EQ(read("b"), "second");
    ASSERT_TRUE(copyNoOverwrite(m_dir / "a", m_dir / "copy").ok());
    ASSERT_TRUE(renameNoReplace(m_dir / "a", m_dir / "c").ok());
    EXPECT_THAT(entries(), ElementsAre("b", "c", "copy"));
    EXPECT_EQ(read("c"), large);
    EXPECT_EQ(read("copy"), large);
    EXPECT_EQ(renameNoReplace(m_dir / "missing", m_dir / "d").error().code, ENOENT);
    EXPECT_EQ(copyNoOverwrite(m_dir / "missing", m_dir / "d").error().code, ENOENT);
    EXPECT_FALSE(fileExists(m_dir / "d"));
    struct stat info;
    ASSERT_EQ(::stat((m_dir / "b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(replaceFileAtomically(m_dir / "no/such/file", "x").error().code, ENOENT);
    EXPECT_FALSE(createDirectories(m_dir / "b/below").ok());
    EXPECT_EQ(deleteFile(m_dir / "missing").error().code, ENOENT);
}

// A batch commits whole or leaves every file as it was: a missing folder fails before any rename;
// a large batch (renamed from several threads when the file system is slow) reports a failed rename while every
// file keeps old or new contents whole. Pieces below and above the write buffer's size take both
// ways to the file.
TEST_F(FilesTest, ReplacementsCommitTogetherOrLeaveEveryFileAsItWas) {
    write("a", "old a");
    {
        std::vector<FileReplacement> batch;
        batch.emplace_back(m_dir / "a");
        batch.emplace_back(m_dir / "no/such/b");
        batch.front().write("new a");
        FileReplacement dropped(m_dir / "b");
        dropped.write("never");
        EXPECT_EQ(commitTogether(batch).error().code, ENOENT);
        EXPECT_FALSE(batch.front().committed());
    }
    EXPECT_EQ(read("a"), "old a");
    EXPECT_THAT(entries(), ElementsAre("a"));
    constexpr int kFiles = 500;
    const auto name = [](int i) { return "page" + std::to_string(i); };
    const auto contents = [](int i) {
        return i == 0 ? std::string(100 * 1000, 'x') + std::string(70 * 1024, 'y')
                      : "new " + std::to_string(i);
    };
    for (const bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        std::vector<FileReplacement> batch;
        for (int i = 0; i < kFiles; ++i) {
            write(name(i), "old");
            batch.emplace_back(m_dir / name(i));
            const std::string text = contents(i);
            const std::size_t small = i == 0 ? 100 * 1000 : 0;
            for (std::size_t at = 0; at < small; at += 1000)
                batch.back().write(text.substr(at, 1000));
            batch.back().write(text.substr(small));
            ASSERT_TRUE(batch.back().close(false));
        }
        // The temporary of one file vanishes, so its rename fails.
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
            if (failing && entry.path().filename().string().starts_with(".page250.")) {
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_EQ(commitTogether(batch).ok(), !failing);
        for (int i = 0; i < kFiles; ++i) {
            EXPECT_EQ(read(name(i)), batch[i].committed() ? contents(i) : "old") << i;
        }
        EXPECT_EQ(batch[250].committed(), !failing);
    }
    EXPECT_EQ(entries().size(), kFiles + 1u) << "no temporary file is left behind";
}

using ProfileTest = FilesTest;

TEST_F(ProfileTest, ReadsLfAndCrLfAndMatchesNamesWithoutCaseOrBlanks) {
    EXPECT_EQ(readProfileString(path(), "General", "TaskRoot", "fallback").value(), "fallback");
    EXPECT_FALSE(fileExists(path())) << "reading creates nothing";
    write("test.ini",
          "orphan=before any section\n[General]\r\n  TaskRoot = /data/ \r\n;MaxFiles=1\nEmpty=\n"
          "Twice=first\nTwice=second\n[ default ]\nExtensions=.htm .html \n[general]\n"
          "Late=ignored, the first section counts\nLast=no line end");
    Profile profile = Profile::load(path()).value();
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
    write("test.ini",
          "; written by hand\n[Other]\nUnknown=kept\n\n[General]\ntaskroot=/old/\nCustom=1\n\n"
          "; about the defaults\n[Default]\nParse=1\n[Empty]\n");
    Profile profile = Profile::load(path()).value();
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

using ::testing::HasSubstr;

TEST(ProgramDirectoryLockTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    test::TempDirectory dir;
    std::optional<Result<ProgramDirectoryLock>> first{ProgramDirectoryLock::acquire(dir.path())};
    ASSERT_TRUE(first->ok());

    Result<ProgramDirectoryLock> second = ProgramDirectoryLock::acquire(dir.path());
    ASSERT_FALSE(second.ok());
    EXPECT_THAT(second.error().text, HasSubstr("in use by process " + std::to_string(::getpid())));

    // A moved lock is still held; dropping it lets the next one in.
    ProgramDirectoryLock moved = std::move(*first).value();
    first.reset();
    EXPECT_FALSE(ProgramDirectoryLock::acquire(dir.path()).ok());
    { ProgramDirectoryLock released = std::move(moved); }
    EXPECT_TRUE(ProgramDirectoryLock::acquire(dir.path()).ok());
    EXPECT_FALSE(ProgramDirectoryLock::acquire(dir / "missing/").ok());
}

}  // namespace
}  // namespace quillharbor
