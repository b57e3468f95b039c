#include "clients/http_local_name.h"

#include <algorithm>
#include <cctype>

#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

// Below NAME_MAX (255) with room for the "-N" of MakeUniqueName and an appended ".html".
constexpr std::size_t kMaxNameLength = 200;
// Longer "extensions" are text after a dot, not a file type worth keeping.
constexpr std::size_t kMaxKeptExtension = 16;
constexpr std::size_t kMaxHtmlExtension = 5;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string DocumentName(std::string_view url) {
    std::string name = LocalNameFromUrl(url);
    if (name.empty()) {
        return "index.html";
    }
    if (name.size() <= kMaxNameLength) {
        return name;
    }
    std::string extension = FileExtOf(name);
    if (extension.size() > kMaxKeptExtension) {
        extension.clear();
    }
    return name.substr(0, kMaxNameLength - extension.size()) + extension;
}

std::string HtmlNameFor(std::string_view name) {
    const std::size_t extension = FileExtOf(name).size();
    if (extension != 0 && extension <= kMaxHtmlExtension) {
        return {};
    }
    return std::string(name) + ".html";
}

bool TakesStartDocName(std::string_view contentType, std::string_view url) {
    const std::string named =
        contentType.empty() ? FileExtOf(DocumentName(url)) : std::string(contentType);
    return lowerCase(named).find("htm") != std::string::npos;
}

bool ErrorPageNeedsHtmlName(std::string_view name) {
    const std::string extension = lowerCase(FileExtOf(name));
    return !extension.empty() && extension != ".htm" && extension != ".html";
}

}  // namespace quillharbor
