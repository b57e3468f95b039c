#include "engine/download_boundary.h"

#include "parser/url_helpers.h"

namespace quillharbor {

std::string directoryBoundary(const std::string& url) {
    const std::string host = HostPart(url) + "/";
    std::string directory = DirPart(url);
    return directory.size() < host.size() ? host : directory;
}

std::string boundaryFor(int downloadFrom, const std::string& url) {
    if (downloadFrom == 1) {
        return HostPart(url) + "/";
    }
    if (downloadFrom == 2) {
        return directoryBoundary(url);
    }
    return {};
}

}  // namespace quillharbor
