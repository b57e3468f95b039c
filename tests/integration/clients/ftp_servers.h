#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "net/http_servers.h"
#include "net/server_process.h"

namespace quillharbor::test {

inline std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes that differ at every offset of a long run, so that a block in the wrong place shows.
inline std::string pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + i / 997 + seed) & 0xFF);
    }
    return bytes;
}

// The FTP servers of the slot and engine tests, each started when first asked for and stopped
// with the program. They share one tree, readable by vsftpd's unprivileged user:
//   /pub/file.bin     300000 bytes of pattern()
//   /pub/big.bin      20 MiB of pattern()
//   /pub/huge.bin     Beyond2GiB bytes, sparse: zeros, then pattern(1000) as the last kilobyte
//   /pub/locked.bin   readable by root alone: vsftpd answers SIZE and refuses RETR with 550
//   /other/file.bin   5000 bytes of pattern(5000, 7)
//   /tree/            a directory tree to grab whole: TreeFiles, with blanks and "&", "%" in
//                     names, and an empty directory /tree/empty/
// pyftpdlib logs in "anna" with "secret" (331, then PASS) and "guest" by USER alone; vsftpd logs
// in "anonymous" by USER alone (230). ftp-proxy takes "USER user@host:port" to any of them.
struct FtpServers {
    static constexpr std::int64_t Beyond2GiB = (std::int64_t{1} << 31) + 1000;
    static constexpr std::size_t FileSize = 300000;
    static constexpr std::size_t BigSize = 20 << 20;
    struct TreeFile {
        const char* path;
        std::size_t size;
    };
    static constexpr TreeFile TreeFiles[] = {
        {"/tree/with space.txt", 100},
        {"/tree/sub dir/a&b.bin", 2000},
        {"/tree/sub dir/deeper/100%.txt", 300},
    };

    TempDirectory work;
    std::string root;
    std::uint16_t pyftpdlibPort = 0;
    std::uint16_t refusingSizePort = 0;
    std::uint16_t vsftpdPort = 0;
    std::uint16_t proxyPort = 0;
    ServerProcess pyftpdlib;
    ServerProcess refusingSize;
    ServerProcess vsftpd;
    ServerProcess proxy;

    static FtpServers& instance() {
        static FtpServers servers;
        return servers;
    }

    FtpServers() {
        namespace fs = std::filesystem;
        fs::permissions(work.path(), fs::perms(0755));
        root = work.make("root");
        for (const char* dir : {"", "/pub", "/other", "/tree", "/tree/sub dir",
                                "/tree/sub dir/deeper", "/tree/empty"}) {
            fs::create_directories(root + dir);
            fs::permissions(root + dir, fs::perms(0755));
        }
        write("/pub/file.bin", pattern(FileSize), 0644);
        write("/pub/big.bin", pattern(BigSize), 0644);
        write("/pub/locked.bin", pattern(1000), 0600);
        write("/other/file.bin", pattern(5000, 7), 0644);
        for (const TreeFile& file : TreeFiles) {
            write(file.path, pattern(file.size, static_cast<unsigned>(file.size)), 0644);
        }
        {
            std::ofstream huge(root + "/pub/huge.bin", std::ios::binary);
            huge.seekp(Beyond2GiB - 1000);
            huge << pattern(1000);
        }
        fs::permissions(root + "/pub/huge.bin", fs::perms(0644));
    }

    bool startPyftpdlib() { return start(pyftpdlib, pyftpdlibPort, "ftp_pyftpdlib.py", {root}); }
    bool startRefusingSize() {
        return start(refusingSize, refusingSizePort, "ftp_pyftpdlib.py", {root, "--refuse-size"});
    }
    bool startVsftpd() {
        return start(vsftpd, vsftpdPort, "ftp_vsftpd.py", {root, work.make("vsftpd")});
    }
    // Its default destination is pyftpdlib's port; the user name overrides it.
    bool startProxy() {
        return startPyftpdlib() && start(proxy, proxyPort, "ftp_proxy.py",
                                         {std::to_string(pyftpdlibPort), work.make("ftp-proxy")});
    }

private:
    void write(const std::string& path, const std::string& bytes, int mode) {
        std::ofstream(root + path, std::ios::binary) << bytes;
        std::filesystem::permissions(root + path, std::filesystem::perms(mode));
    }
    // Runs script PORT args... on a free port, once.
    bool start(ServerProcess& process, std::uint16_t& port, const std::string& script,
               std::vector<std::string> args) {
        if (port != 0) {
            return true;
        }
        const std::uint16_t chosen = freePort();
        args.insert(args.begin(),
                    {"/usr/bin/python3", serverScript(script), std::to_string(chosen)});
        if (!process.start(args, chosen,
                           work.path() + "/" + script + std::to_string(chosen) + ".out")) {
            return false;
        }
        port = chosen;
        return true;
    }
};

}  // namespace quillharbor::test
