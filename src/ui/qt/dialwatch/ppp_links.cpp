#include "ui/qt/dialwatch/ppp_links.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <signal.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

#include "platform/ppp_daemon.h"

namespace quillharbor {

namespace {

std::string firstLineOf(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel keeps a process's name cut to 15 bytes.
bool runsProgram(pid_t pid, const std::string& program) {
    constexpr std::size_t kCommLength = 15;
    const std::string comm = firstLineOf("/proc/" + std::to_string(pid) + "/comm");
    return !comm.empty() && comm == baseName(program).substr(0, kCommLength);
}

}  // namespace

std::vector<std::string> upPppLinks() {
    std::vector<std::string> links;
    ifaddrs* addresses = nullptr;
    if (::getifaddrs(&addresses) != 0) {
        return links;
    }
    for (const ifaddrs* entry = addresses; entry != nullptr; entry = entry->ifa_next) {
        const std::string name = entry->ifa_name;
        // An interface is listed once per address family it has.
        if ((entry->ifa_flags & IFF_UP) != 0 && name.starts_with("ppp") &&
            std::find(links.begin(), links.end(), name) == links.end()) {
            links.push_back(name);
        }
    }
    ::freeifaddrs(addresses);
    return links;
}

std::optional<pid_t> pidInPidFile(std::string_view contents) {
    const std::string_view line = contents.substr(0, contents.find_first_of("\r\n"));
    if (line.empty() ||
        !std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), pid);
    if (error != std::errc() || end != line.data() + line.size() || pid <= 1) {
        return std::nullopt;
    }
    return pid;
}

bool hangUpLink(const std::string& link) {
    const std::optional<std::string> program = pppDaemonProgram();
    if (!program) {
        return false;
    }
    std::ifstream in(pppRunDirectory() + "/" + link + ".pid");
    const std::string contents{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    const std::optional<pid_t> pid = pidInPidFile(contents);
    return pid && runsProgram(*pid, *program) && ::kill(*pid, SIGTERM) == 0;
}

}  // namespace quillharbor
