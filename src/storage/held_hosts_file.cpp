#include "storage/held_hosts_file.h"

#include <cstdio>
#include <sstream>

#include "platform/files.h"

namespace quillharbor {

namespace {

std::string pathIn(const std::string& programDir) {
    return programDir + "HeldHosts.txt";
}

}  // namespace

Status writeHeldHosts(const std::string& programDir, const std::vector<HeldHost>& hosts) {
    if (hosts.empty()) {
        std::remove(pathIn(programDir).c_str());
        return {};
    }
    std::string text;
    for (const HeldHost& held : hosts) {
        text += held.host + " " + std::to_string(held.until) + "\r\n";
    }
    return replaceFileAtomically(pathIn(programDir), text);
}

std::vector<HeldHost> readHeldHosts(const std::string& programDir) {
    std::vector<HeldHost> hosts;
    std::istringstream lines(readWholeFile(pathIn(programDir)).valueOr({}));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        HeldHost held;
        if (words >> held.host >> held.until) {
            hosts.push_back(std::move(held));
        }
    }
    return hosts;
}

}  // namespace quillharbor
