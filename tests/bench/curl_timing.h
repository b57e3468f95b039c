#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillharbor::bench {

// Seconds curl takes to fetch url into a scratch file in dir (removed afterwards), or -1 when curl
// fails: the yardstick the download benchmarks print beside their own figure.
inline double curlSeconds(const std::string& url, const std::filesystem::path& dir) {
    const std::string out = (dir / "curl.bin").string();
    const std::string command = "curl -s -S -f -o '" + out + "' '" + url + "'";
    const auto begin = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::filesystem::remove(out);
    return status == 0 ? seconds : -1;
}

}  // namespace quillharbor::bench
