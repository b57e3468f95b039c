#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "net/http_servers.h"

namespace quillharbor::test {

inline constexpr std::int64_t kBeyond2GiB = (std::int64_t{1} << 31) + 1000;

// Bytes that differ at every offset of a long run, so that a block in the wrong place shows.
inline std::string pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + i / 997 + seed) & 0xFF);
    }
    return bytes;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    std::filesystem::permissions(path, std::filesystem::perms(0644));
}

// The last `size` bytes of a file of kBeyond2GiB bytes; empty when the file is not that long.
inline std::string tailOf(const std::string& path, std::size_t size) {
    std::string tail(size, '\0');
    std::ifstream in(path, std::ios::binary);
    in.seekg(kBeyond2GiB - static_cast<std::int64_t>(size)).read(tail.data(), size);
    return in && std::filesystem::file_size(path) == std::uintmax_t{kBeyond2GiB} ? tail : "";
}

// The FTP servers of the tests, each started when first asked for, on one tree readable by
// vsftpd's unprivileged user:
//   /pub/file.bin     300000 bytes of pattern()
//   /pub/big.bin      20 MiB of pattern()
//   /pub/huge.bin     Beyond2GiB bytes, sparse: zeros, then pattern(1000) as the last kilobyte
//   /other/file.bin   5000 bytes of pattern(5000, 7)
//   /tree/            files with blanks and "&", "%" in their names, of pattern(size, size),
//                     and an empty /tree/empty/
// pyftpdlib logs in "anna" with "secret" (331, then PASS); vsftpd logs in "anonymous" by USER
// alone (230). ftp-proxy takes "USER user@host:port" to any of them.
struct FtpServers {
    static constexpr std::size_t FileSize = 300000;
    static constexpr std::size_t BigSize = 20 << 20;

    LoopbackServers& loopback = LoopbackServers::instance();
    std::string root = made(loopback.work / "ftp");
    std::uint16_t pyftpdlibPort = 0;
    std::uint16_t refusingSizePort = 0;
    std::uint16_t vsftpdPort = 0;
    std::uint16_t proxyPort = 0;

    static FtpServers& instance() {
        static FtpServers servers;
        return servers;
    }
    FtpServers() {
        for (const char* dir : {"", "/pub", "/other", "/tree", "/tree/sub dir",
                                "/tree/sub dir/deeper", "/tree/empty"}) {
            std::filesystem::create_directories(root + dir);
            std::filesystem::permissions(root + dir, std::filesystem::perms(0755));
        }
        writeFile(root + "/pub/file.bin", pattern(FileSize));
        writeFile(root + "/pub/big.bin", pattern(BigSize));
        writeFile(root + "/other/file.bin", pattern(5000, 7));
        for (const auto& [path, size] : {std::pair{"/tree/with space.txt", 100u},
                                         {"/tree/sub dir/a&b.bin", 2000u},
                                         {"/tree/sub dir/deeper/100%.txt", 300u}}) {
            writeFile(root + path, pattern(size, size));
        }
        std::ofstream(root + "/pub/huge.bin", std::ios::binary).seekp(kBeyond2GiB - 1000)
            << pattern(1000);
        std::filesystem::permissions(root + "/pub/huge.bin", std::filesystem::perms(0644));
    }

    bool startPyftpdlib() { return (pyftpdlibPort = pyftpdlib("")) != 0; }
    bool startRefusingSize() { return (refusingSizePort = pyftpdlib("--refuse-size")) != 0; }
    // pyftpdlib listening on ::1 alone.
    std::uint16_t startIpv6() { return pyftpdlib("--ipv6"); }
    bool startVsftpd() {
        vsftpdPort = loopback.start(
            "vsftpd",
            LoopbackServers::script("ftp_vsftpd.py", {root, made(loopback.work / "vsftpd")}));
        return vsftpdPort != 0;
    }
    // Its default destination is pyftpdlib's port; the user name overrides it.
    bool startProxy() {
        proxyPort =
            startPyftpdlib()
                ? loopback.start("ftp-proxy", LoopbackServers::script(
                                                  "proxy_servers.py",
                                                  {"ftp-proxy", made(loopback.work / "ftp-proxy"),
                                                   std::to_string(pyftpdlibPort)}))
                : 0;
        return proxyPort != 0;
    }

private:
    std::uint16_t pyftpdlib(const std::string& option) {
        std::vector<std::string> args{root};
        if (!option.empty()) {
            args.push_back(option);
        }
        return loopback.start("pyftpdlib" + option,
                              LoopbackServers::script("ftp_pyftpdlib.py", args),
                              option == "--ipv6");
    }
};

}  // namespace quillharbor::test
