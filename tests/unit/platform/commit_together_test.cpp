#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

// A batch large enough to be renamed from several threads: every file gets its new contents, and
// when one rename fails the batch reports it while every file keeps old or new contents whole.
TEST(CommitTogetherTest, AManyFileBatchCommitsWholeOrReportsItsFailure) {
    // On /dev/shm the flush before the renames costs nothing.
    test::TempDirectory dir("/dev/shm");
    constexpr int kFiles = 500;
    const auto path = [&dir](int i) { return dir.path() + "page" + std::to_string(i); };
    for (const bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        std::vector<FileReplacement> batch;
        for (int i = 0; i < kFiles; ++i) {
            std::ofstream(path(i)) << "old";
            batch.emplace_back(path(i));
            batch.back().write("new " + std::to_string(i));
            ASSERT_TRUE(batch.back().close(false));
        }
        if (failing) {
            // The temporary of one file vanishes, so its rename fails.
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                if (entry.path().filename().string().starts_with(".page250.")) {
                    std::filesystem::remove(entry.path());
                }
            }
        }
        EXPECT_EQ(commitTogether(batch).ok(), !failing);
        for (int i = 0; i < kFiles; ++i) {
            const std::string now = readWholeFile(path(i)).value();
            EXPECT_EQ(now, batch[i].committed() ? "new " + std::to_string(i) : "old") << i;
        }
        EXPECT_EQ(batch[250].committed(), !failing);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              kFiles)
        << "no temporary file is left behind";
}

}  // namespace
}  // namespace quillharbor
