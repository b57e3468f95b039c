#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace quillharbor::test {

// A fresh directory under parent for one test, removed with everything in it afterwards. path()
// ends with "/". Fuzz targets that write files on every input take /dev/shm, where a file's
// flush to disk costs nothing.
class TempDirectory {
public:
    explicit TempDirectory(const std::string& parent = "/tmp") {
        std::string pattern = parent + "/quillharbor-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        m_path = std::string(pattern) + "/";
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

}  // namespace quillharbor::test
