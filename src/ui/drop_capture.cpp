#include "ui/drop_capture.h"

#include <charconv>

#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view trimmed(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

std::optional<int> numberAt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* const kDropWindowTip =
    "Drop a link or a page here\n"
    "No key: a new task from the default options\n"
    "Ctrl: the New Task dialog (a page: its task's properties)\n"
    "Shift: this document only\n"
    "Alt: pictures only\n"
    "Ctrl+Shift, a page only: two levels, FTP links followed";

std::optional<int> dropActionFor(bool ctrl, bool shift, bool alt) {
    if (alt) {
        return ctrl || shift ? std::nullopt : std::optional(3);
    }
    if (ctrl && shift) {
        return 4;
    }
    return ctrl ? 1 : shift ? 2 : 0;
}

std::optional<std::string> linkInText(std::string_view text) {
    const std::string_view link = trimmed(text);
    if (link.find_first_of(kBlanks) != std::string_view::npos) {
        return std::nullopt;
    }
    switch (UrlKind(link)) {
        case UrlType::Http:
        case UrlType::Https:
        case UrlType::Ftp:
            return std::string(link);
        default:
            return std::nullopt;
    }
}

std::optional<std::string> linkInUriList(std::string_view list) {
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        const std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (!trimmed(line).starts_with('#')) {
            if (std::optional<std::string> link = linkInText(line)) {
                return link;
            }
        }
    }
    return std::nullopt;
}

std::optional<DropCapture> captureOfDrop(const DropFormats& formats) {
    std::optional<std::string> link =
        formats.uriList ? linkInUriList(*formats.uriList) : std::nullopt;
    if (!link && formats.text) {
        link = linkInText(*formats.text);
    }
    if (link) {
        return DropCapture{std::move(link), {}};
    }
    if (formats.html && !formats.html->empty()) {
        return DropCapture{formats.pageUrl ? linkInText(*formats.pageUrl) : std::nullopt,
                           *formats.html};
    }
    return std::nullopt;
}

std::string positionText(ScreenPoint point) {
    return std::to_string(point.x) + "," + std::to_string(point.y);
}

std::optional<ScreenPoint> positionFromText(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> x = numberAt(text.substr(0, comma));
    const std::optional<int> y = numberAt(text.substr(comma + 1));
    if (!x || !y) {
        return std::nullopt;
    }
    return ScreenPoint{*x, *y};
}

}  // namespace quillharbor
