#include "net/http_response_info.h"

namespace quillharbor {

void HttpResponseInfo::keepHeaderLine(std::string line) {
    headerBytes += line.size();
    headerLines.push_back(std::move(line));
    while (headerBytes > MaxKeptHeaderBytes && headerLines.size() > 1) {
        headerBytes -= headerLines.front().size();
        headerLines.pop_front();
    }
}

}  // namespace quillharbor
