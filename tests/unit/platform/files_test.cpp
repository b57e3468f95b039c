#include "platform/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

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
    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDirectory m_dir;
};

TEST_F(FilesTest, RenameAndCopyMoveOnlyToAFreeName) {
    std::string large(200 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    write("a", large);
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
}

TEST_F(FilesTest, ReplaceFileAtomicallyKeepsTheModeAndLeavesNoTemporaryFile) {
    write("settings.ini", "a much longer first version of the file");
    ::chmod((m_dir / "settings.ini").c_str(), 0600);
    write("settings.ini", "");
    write("settings.ini", "final");
    EXPECT_EQ(read("settings.ini"), "final");
    EXPECT_THAT(entries(), ElementsAre("settings.ini"));
    struct stat info;
    ASSERT_EQ(::stat((m_dir / "settings.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(replaceFileAtomically(m_dir / "no/such/file", "x").error().code, ENOENT);
    EXPECT_THAT(entries(), ElementsAre("settings.ini"));
}

TEST_F(FilesTest, ReplacementsCommitTogetherOrLeaveEveryFileAsItWas) {
    write("a", "old a");
    write("b", "old b");
    // Pieces below and above the write buffer's size, so that both ways to the file are taken.
    const std::string piece(1000, 'x');
    const std::string large(70 * 1024, 'y');
    {
        std::vector<FileReplacement> batch;
        batch.emplace_back(m_dir / "a");
        batch.emplace_back(m_dir / "no/such/b");
        batch.front().write("new a");
        FileReplacement dropped(m_dir / "b");
        dropped.write("never");
        Status status = commitTogether(batch);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().code, ENOENT);
        EXPECT_FALSE(batch.front().committed());
    }
    EXPECT_EQ(read("a") + read("b"), "old aold b");
    EXPECT_THAT(entries(), ElementsAre("a", "b"));

    std::vector<FileReplacement> batch;
    batch.emplace_back(m_dir / "a");
    batch.emplace_back(m_dir / "b");
    for (int i = 0; i < 100; ++i) {
        batch.front().write(piece);
    }
    batch.front().write(large);
    batch.back().write("new b");
    ASSERT_TRUE(commitTogether(batch).ok());
    EXPECT_EQ(read("a"), std::string(100 * 1000, 'x') + large);
    EXPECT_EQ(read("b"), "new b");
    EXPECT_THAT(entries(), ElementsAre("a", "b"));
}

TEST_F(FilesTest, DirectoriesSizesTaskFilesAndDeletion) {
    for (const char* name : {"b.tsf", "A.tsf", "a.tsf", ".tsf", "c.tsf.tmp", "d.TSF", "e.tsfx"}) {
        write(name, "x");
    }
    ASSERT_TRUE(createDirectories(m_dir / "dir.tsf/two/").ok());
    EXPECT_TRUE(createDirectories(m_dir / "dir.tsf").ok()) << "an existing directory is fine";
    EXPECT_FALSE(createDirectories(m_dir / "b.tsf/below").ok());
    EXPECT_THAT(listTaskFiles(m_dir.path()).value(), ElementsAre("A.tsf", "a.tsf", "b.tsf"));
    EXPECT_EQ(listTaskFiles(m_dir / "missing").error().code, ENOENT);

    EXPECT_EQ(fileSize(m_dir / "a.tsf").value(), 1u);
    EXPECT_FALSE(fileSize(m_dir.path()).ok());
    EXPECT_TRUE(fileExists(m_dir.path())) << "a directory holds its name too";
    EXPECT_EQ(fileSize(m_dir / "missing").error().code, ENOENT);
    EXPECT_EQ(readWholeFile(m_dir / "missing").error().code, ENOENT);
    ASSERT_TRUE(deleteFile(m_dir / "a.tsf").ok());
    EXPECT_FALSE(fileExists(m_dir / "a.tsf"));
    EXPECT_EQ(deleteFile(m_dir / "a.tsf").error().code, ENOENT);
}

}  // namespace
}  // namespace quillharbor
