#pragma once

// What the grab tests compare: saved trees, the generated site's manifest and server logs.

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "net/http_servers.h"

namespace quillharbor::test {

// A directory's files by relative path, with their contents; `from` replaced by `to` in each
// (the address of the server a copy came from). Empty when dir is missing.
inline std::map<std::string, std::string> treeOf(const std::string& dir,
                                                 const std::string& from = {},
                                                 const std::string& to = {}) {
    std::map<std::string, std::string> tree;
    std::error_code missing;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, missing)) {
        if (entry.is_regular_file()) {
            std::string& bytes = tree[std::filesystem::relative(entry.path(), dir).string()] =
                contentsOf(entry.path().string());
            for (auto at = from.empty() ? std::string::npos : bytes.find(from);
                 at != std::string::npos; at = bytes.find(from, at + to.size())) {
                bytes.replace(at, from.size(), to);
            }
        }
    }
    return tree;
}

inline int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// nginx's log lines end "... <connection> <requests on it>": the connections it served.
inline std::set<std::string> connectionsIn(const std::string& log) {
    std::set<std::string> connections;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t last = line.rfind(' ');
        const std::size_t connection = line.rfind(' ', last - 1);
        connections.insert(line.substr(connection + 1, last - connection - 1));
    }
    return connections;
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

}  // namespace quillharbor::test
