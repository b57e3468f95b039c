#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace quillharbor {

// The local file a retrieval writes to. Open or not; closing is idempotent.
class FtpLocalFile {
public:
    FtpLocalFile() = default;
    ~FtpLocalFile() { close(); }
    FtpLocalFile(const FtpLocalFile&) = delete;
    FtpLocalFile& operator=(const FtpLocalFile&) = delete;

    // Creates the file, or empties an existing one.
    Status create(const std::string& path);
    // Opens an existing file for writing at offset, which must not lie beyond its end: a file
    // that shrank since its size was taken would otherwise get a hole of zero bytes.
    Status openAt(const std::string& path, std::int64_t offset);
    // Writes every byte or fails.
    Status write(std::string_view bytes);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // Bytes in the file: the restart offset plus what was written; 0 when closed.
    std::int64_t size() const { return m_size; }

private:
    int m_fd = -1;
    std::string m_path;
    std::int64_t m_size = 0;
};

}  // namespace quillharbor
