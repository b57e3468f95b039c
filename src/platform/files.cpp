#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

namespace quillharbor {

namespace {

// Closes the descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Closes now, because close can report a write error that the caller must hear about.
    int close() {
        int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Returns 0, or the errno value of the failure.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    std::size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Asked once: every page a rewrite replaces would ask again.
    static const pid_t process = ::getpid();
    return directory + "." + name + ".tmp-" + std::to_string(process) + "-" +
           std::to_string(counter.fetch_add(1));
}

// The permissions a file created with 0666 gets: 0666 less the process's umask, read once from
// /proc (asking the system would set it), or -1 where /proc does not say. The program never
// changes its umask.
int permissionsOfNewFiles() {
    static const int permissions = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("Umask:")) {
                char* end = nullptr;
                const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
                return end != line.c_str() + 6 ? static_cast<int>(0666 & ~mask) : -1;
            }
        }
        return -1;
    }();
    return permissions;
}

// Writes reach the file in blocks of this size.
constexpr std::size_t kWriteBlock = 64 * 1024;

bool hasTaskFileName(const std::string& name) {
    constexpr std::string_view extension = ".tsf";
    return name.size() > extension.size() && name.ends_with(extension);
}

}  // namespace

bool fileExists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

Result<std::uint64_t> fileSize(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        return systemError("read the size of", path, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return systemError("read the size of", path, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        return systemError("read the size of", path, EINVAL);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

Status createDirectories(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        return systemError("create the directory", path, error.value());
    }
    // create_directories reports success for some paths it did not make (a trailing "/." on an
    // existing file); only a directory that is there counts.
    if (!std::filesystem::is_directory(path, error)) {
        return systemError("create the directory", path, error ? error.value() : ENOTDIR);
    }
    return {};
}

Status renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return systemError("rename", from, errno);
    }
    // The file system cannot rename without replacing; a hard link refuses an existing target
    // just as atomically.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            int code = errno;
            ::unlink(to.c_str());
            return systemError("rename", from, code);
        }
        return {};
    }
    if (errno != EPERM && errno != ENOTSUP) {
        return systemError("rename", from, errno);
    }
    // Neither (FAT and similar): check, then rename. The window between the two is accepted
    // because only this process writes into its download directories.
    if (fileExists(to)) {
        return systemError("rename", from, EEXIST);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return systemError("rename", from, errno);
    }
    return {};
}

Status copyNoOverwrite(const std::string& from, const std::string& to) {
    FileDescriptor source(openRetrying(from.c_str(), O_RDONLY));
    if (!source.valid()) {
        return systemError("open", from, errno);
    }
    struct stat info;
    if (::fstat(source.get(), &info) != 0) {
        return systemError("read", from, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return systemError("copy", from, EISDIR);
    }
    FileDescriptor target(
        openRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, info.st_mode & 0777));
    if (!target.valid()) {
        return systemError("create", to, errno);
    }
    auto fail = [&](std::string_view action, const std::string& path, int code) {
        target.close();
        ::unlink(to.c_str());
        return systemError(action, path, code);
    };
    char buffer[64 * 1024];
    for (;;) {
        ssize_t count = ::read(source.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("read", from, errno);
        }
        if (count == 0) {
            break;
        }
        if (int code = writeAll(target.get(), {buffer, static_cast<std::size_t>(count)})) {
            return fail("write", to, code);
        }
    }
    if (target.close() != 0) {
        int code = errno;
        ::unlink(to.c_str());
        return systemError("write", to, code);
    }
    return {};
}

Status deleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return systemError("delete", path, errno);
    }
    return {};
}

Result<std::vector<std::string>> listTaskFiles(const std::string& directory) {
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    if (error) {
        return systemError("list", directory, error.value());
    }
    std::vector<std::string> names;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (error) {
            return systemError("list", directory, error.value());
        }
        std::string name = entries->path().filename().string();
        std::error_code typeError;
        if (hasTaskFileName(name) && entries->is_regular_file(typeError)) {
            names.push_back(std::move(name));
        }
    }
    if (error) {
        return systemError("list", directory, error.value());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Status replaceFileAtomically(const std::string& path, std::string_view bytes) {
    FileReplacement replacement(path);
    replacement.write(bytes);
    return replacement.commit();
}

FileReplacement::FileReplacement(std::string path) : m_path(std::move(path)) {
    // The name holds the process id and a counter, so a clash means a stray file from an earlier
    // process with the same id; a few more numbers get past it.
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = temporaryNameFor(m_path);
        m_fd = openRetrying(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (m_fd < 0 && errno != EEXIST) {
            m_temporary.clear();
            fail("create a temporary file for", errno);
            return;
        }
    }
    if (m_fd < 0) {
        m_temporary.clear();
        fail("create a temporary file for", EEXIST);
        return;
    }
    // The file keeps its permissions; a file this program made has those of the temporary.
    struct stat existing;
    if (::stat(m_path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        static_cast<int>(existing.st_mode & 07777) != permissionsOfNewFiles() &&
        ::fchmod(m_fd, existing.st_mode & 07777) != 0) {
        fail("keep the permissions of", errno);
    }
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_temporary(std::exchange(other.m_temporary, {})),
      m_fd(std::exchange(other.m_fd, -1)),
      m_committed(other.m_committed),
      m_buffer(std::move(other.m_buffer)),
      m_error(std::move(other.m_error)) {}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

void FileReplacement::write(std::string_view bytes) {
    if (m_error) {
        return;
    }
    if (m_buffer.size() + bytes.size() <= kWriteBlock) {
        m_buffer.reserve(kWriteBlock);
        m_buffer += bytes;
        return;
    }
    if (int code = writeAll(m_fd, m_buffer)) {
        fail("write", code);
        return;
    }
    m_buffer.clear();
    if (bytes.size() >= kWriteBlock) {
        if (int code = writeAll(m_fd, bytes)) {
            fail("write", code);
        }
        return;
    }
    m_buffer += bytes;
}

Status FileReplacement::close(bool flush) {
    if (m_error) {
        return *m_error;
    }
    if (m_fd < 0) {
        return {};
    }
    if (int code = writeAll(m_fd, m_buffer)) {
        return fail("write", code);
    }
    std::string().swap(m_buffer);
    if (flush && ::fdatasync(m_fd) != 0) {
        return fail("write", errno);
    }
    if (::close(std::exchange(m_fd, -1)) != 0) {
        return fail("write", errno);
    }
    return {};
}

Status FileReplacement::commit() {
    if (Status closed = close(true); !closed) {
        return closed;
    }
    if (Status renamed = rename(); !renamed) {
        return renamed;
    }
    // Makes the rename itself durable. Its failure is not reported: the new contents are already
    // in place, and a failure would make the caller believe the old ones still were.
    FileDescriptor directory(openRetrying(directoryOf(m_path).c_str(), O_RDONLY | O_DIRECTORY));
    if (directory.valid()) {
        ::fsync(directory.get());
    }
    return {};
}

Status FileReplacement::rename() {
    if (m_error) {
        return *m_error;
    }
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        return fail("replace", errno);
    }
    m_temporary.clear();
    m_committed = true;
    return {};
}

Error FileReplacement::fail(std::string_view action, int code) {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    m_error = systemError(action, m_path, code);
    return *m_error;
}

// Renames in order while renames are quick. A rename that drops the old file waits on the file
// system's journal, for milliseconds when other programs keep it busy; when the first renames
// show such waits, the rest go from several threads so that the waits overlap. On a quiet file
// system the threads would only spin on the directory's lock. After a failure no further rename
// starts.
void renameAll(std::vector<FileReplacement>& replacements) {
    constexpr std::size_t kProbeRenames = 32;
    constexpr auto kSlowProbe = std::chrono::milliseconds(8);
    constexpr std::size_t kRenamesPerThread = 64;
    constexpr std::size_t kMostThreads = 8;
    const auto begin = std::chrono::steady_clock::now();
    const std::size_t probed = std::min(kProbeRenames, replacements.size());
    for (std::size_t index = 0; index < probed; ++index) {
        if (!replacements[index].rename()) {
            return;
        }
    }
    const std::size_t rest = replacements.size() - probed;
    const std::size_t threads =
        std::chrono::steady_clock::now() - begin < kSlowProbe
            ? 1
            : std::min(kMostThreads, (rest + kRenamesPerThread - 1) / kRenamesPerThread);
    std::atomic<std::size_t> next = probed;
    std::atomic<bool> failed = false;
    const auto renameSome = [&] {
        for (std::size_t index; !failed && (index = next++) < replacements.size();) {
            if (!replacements[index].rename()) {
                failed = true;
            }
        }
    };
    std::vector<std::jthread> helpers;
    for (std::size_t started = 1; started < threads; ++started) {
        helpers.emplace_back(renameSome);
    }
    renameSome();
}

Status commitTogether(std::vector<FileReplacement>& replacements) {
    if (replacements.empty()) {
        return {};
    }
    for (FileReplacement& replacement : replacements) {
        if (Status closed = replacement.close(false); !closed) {
            return closed;
        }
    }
    // One flush of the file system stands for one per file: every temporary is on disk before
    // any rename shows it under its file's name.
    FileDescriptor directory(
        openRetrying(directoryOf(replacements.front().m_path).c_str(), O_RDONLY | O_DIRECTORY));
    if (!directory.valid() || ::syncfs(directory.get()) != 0) {
        return systemError("write", replacements.front().m_path, errno);
    }
    renameAll(replacements);
    for (const FileReplacement& replacement : replacements) {
        if (replacement.m_error) {
            return *replacement.m_error;
        }
    }
    return {};
}

Result<std::string> readWholeFile(const std::string& path) {
    FileReader file(path);
    std::string contents;
    char buffer[64 * 1024];
    for (;;) {
        Result<std::size_t> count = file.read(buffer, sizeof buffer);
        if (!count) {
            return count.error();
        }
        if (count.value() == 0) {
            return contents;
        }
        // A page of many megabytes grows by doubling otherwise, each step copying all it
        // holds; one that fits the first read needs no look at its size.
        if (contents.empty() && count.value() == sizeof buffer) {
            if (Result<std::uint64_t> size = fileSize(path)) {
                contents.reserve(static_cast<std::size_t>(size.value()));
            }
        }
        contents.append(buffer, count.value());
    }
}

FileReader::FileReader(std::string path)
    : m_path(std::move(path)), m_fd(openRetrying(m_path.c_str(), O_RDONLY)) {
    if (m_fd < 0) {
        m_openError = errno;
    }
}

FileReader::~FileReader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Result<std::size_t> FileReader::read(char* into, std::size_t size) {
    if (m_fd < 0) {
        return systemError("open", m_path, m_openError);
    }
    for (;;) {
        const ssize_t count = ::read(m_fd, into, size);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            return systemError("read", m_path, errno);
        }
    }
}

}  // namespace quillharbor
