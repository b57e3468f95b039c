#pragma once

// What the grab tests serve and compare: generated sites, saved trees, the generator's manifest
// and server logs.

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/http_servers.h"
#include "platform/files.h"

namespace quillharbor::test {

// A directory's files by relative path, with their contents.
inline std::map<std::string, std::string> treeOf(const std::string& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            tree[fs::relative(entry.path(), dir).string()] =
                readWholeFile(entry.path().string()).valueOr({});
        }
    }
    return tree;
}

// The relative paths present in only one tree or with different contents (a short list rather
// than two whole trees when they differ).
inline std::vector<std::string> differences(const std::map<std::string, std::string>& a,
                                            const std::map<std::string, std::string>& b) {
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : a) {
        const auto other = b.find(path);
        if (other == b.end() || other->second != bytes) {
            paths.push_back(path);
        }
    }
    for (const auto& [path, bytes] : b) {
        if (!a.contains(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

inline int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// A generated site's manifest: "file NAME PATH", "missing PATH" and "private PATH" lines.
struct Manifest {
    std::map<std::string, std::string> files;  // local name -> path below the site's root
    std::set<std::string> missing;             // paths
    std::set<std::string> disallowed;          // paths

    explicit Manifest(const std::string& root) {
        std::ifstream in(root + "/manifest.txt");
        for (std::string kind, first; in >> kind >> first;) {
            if (kind == "file") {
                in >> files[first];
            } else {
                (kind == "missing" ? missing : disallowed).insert(first);
            }
        }
    }
};

// A generated site below work/www served on loopback by a server script, given its port first.
struct ServedSite {
    TempDirectory work;
    std::string root = work.make("www");
    std::uint16_t port = freePort();
    ServerProcess server;

    bool serve(int pages, const std::string& script, const std::vector<std::string>& args,
               bool ipv6 = false) {
        std::vector<std::string> argv{"/usr/bin/python3", serverScript(script),
                                      std::to_string(port)};
        argv.insert(argv.end(), args.begin(), args.end());
        return generateSite(root, pages) &&
               server.start(argv, port, work.path() + "/server.out", ipv6);
    }
};

}  // namespace quillharbor::test
