#include "platform/ppp_daemon.h"

#include <sys/stat.h>

#include <cstdlib>

namespace quillharbor {

namespace {

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::string> pppDaemonProgram() {
    if (const char* program = std::getenv("QUILLHARBOR_PPPD")) {
        return isRegularFile(program) ? std::optional<std::string>(program) : std::nullopt;
    }
    for (const char* program : {"/usr/sbin/pppd", "/sbin/pppd"}) {
        if (isRegularFile(program)) {
            return program;
        }
    }
    return std::nullopt;
}

std::string pppRunDirectory() {
    const char* directory = std::getenv("QUILLHARBOR_PPP_RUN_DIR");
    return directory != nullptr ? directory : "/var/run";
}

}  // namespace quillharbor
