#include "platform/program_directory_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

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
}

TEST(ProgramDirectoryLockTest, MissingDirectoryIsAnError) {
    test::TempDirectory dir;
    EXPECT_FALSE(ProgramDirectoryLock::acquire(dir / "missing/").ok());
}

}  // namespace
}  // namespace quillharbor
