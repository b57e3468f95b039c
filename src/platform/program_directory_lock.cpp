#include "platform/program_directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace quillharbor {

namespace {

constexpr std::string_view kLockFileName = "Quillharbor.lock";

// The process id the holder wrote, or an empty text while it has not written it yet.
std::string holderOf(int fd) {
    char digits[32] = {};
    const ssize_t got = ::pread(fd, digits, sizeof digits - 1, 0);
    std::string pid;
    for (ssize_t i = 0; i < got && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        pid += digits[i];
    }
    return pid;
}

}  // namespace

Result<ProgramDirectoryLock> ProgramDirectoryLock::acquire(const std::string& programDir) {
    const std::string path = programDir + std::string(kLockFileName);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return systemError("open the lock file", path, errno);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        if (code != EWOULDBLOCK) {
            ::close(fd);
            return systemError("lock", path, code);
        }
        const std::string pid = holderOf(fd);
        ::close(fd);
        const std::string holder = pid.empty() ? "another process" : "process " + pid;
        return Error{"the program directory " + programDir + " is in use by " + holder +
                         " (it holds " + path + ")",
                     code};
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        const int code = errno;
        ::close(fd);
        return systemError("write the lock file", path, code);
    }
    return ProgramDirectoryLock(fd);
}

ProgramDirectoryLock::ProgramDirectoryLock(ProgramDirectoryLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

ProgramDirectoryLock& ProgramDirectoryLock::operator=(ProgramDirectoryLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ProgramDirectoryLock::~ProgramDirectoryLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

}  // namespace quillharbor
