#include "net/http_doc_name.h"

#include <algorithm>
#include <cctype>

namespace quillharbor {

namespace {
constexpr std::size_t MaxDocName = 255;
constexpr std::string_view DefaultDocName = "document.htm";
}  // namespace

std::string docNameFromPath(std::string_view path) {
    // The query goes first: a "/" inside it must not pick the segment.
    path = path.substr(0, path.find('?'));
    if (path.ends_with('/')) {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    const std::string_view name =
        path.substr(slash == std::string_view::npos ? 0 : slash + 1).substr(0, MaxDocName);
    return name.empty() ? std::string(DefaultDocName) : std::string(name);
}

std::string htmlDocName(std::string_view docName, std::string_view contentType) {
    const std::size_t dot = docName.rfind('.');
    std::string extension(dot == std::string_view::npos ? std::string_view() : docName.substr(dot));
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension != ".exe" || contentType != "text/html") {
        return std::string(docName);
    }
    return std::string(docName.substr(0, dot)) + ".htm";
}

}  // namespace quillharbor
