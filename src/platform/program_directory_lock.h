#pragma once

#include <string>

#include "platform/result.h"

namespace quillharbor {

// One process at a time works on a program directory: two would overwrite each other's task
// files. The lock is an exclusive flock on "Quillharbor.lock" in the directory, which also holds
// the holder's process id so that a refused process can say who holds it. The kernel drops the
// lock when the holder ends, however it ends; the file itself stays.
class ProgramDirectoryLock {
public:
    // Takes the lock on programDir (ending with "/"), without waiting. Refused while another open
    // lock on the directory lives, in this process or another: the error names the holder.
    static Result<ProgramDirectoryLock> acquire(const std::string& programDir);

    ProgramDirectoryLock(ProgramDirectoryLock&& other) noexcept;
    ProgramDirectoryLock& operator=(ProgramDirectoryLock&& other) noexcept;
    ProgramDirectoryLock(const ProgramDirectoryLock&) = delete;
    ProgramDirectoryLock& operator=(const ProgramDirectoryLock&) = delete;
    // Releases the lock.
    ~ProgramDirectoryLock();

private:
    explicit ProgramDirectoryLock(int fd) : m_fd(fd) {}

    int m_fd = -1;
};

}  // namespace quillharbor
