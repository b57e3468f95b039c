#include "net/ftp_local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillharbor {

Status FtpLocalFile::create(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemError("create", path, errno);
    m_fd = fd;
    m_path = path;
    m_size = 0;
    return {};
}

Status FtpLocalFile::openAt(const std::string& path, std::int64_t offset) {
    close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return systemError("open", path, errno);
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (info.st_size < offset)
        error = EINVAL;
    else if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return systemError("resume", path, error);
    }
    m_fd = fd;
    m_path = path;
    m_size = offset;
    return {};
}

Status FtpLocalFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return systemError("write", m_path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        m_size += written;
    }
    return {};
}

void FtpLocalFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

}  // namespace quillharbor
