#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// What the drop window and the clipboard watch make of what they are handed, without a toolkit.

// The action code of a drop by the modifier keys held: none 0, Ctrl 1, Shift 2, Alt 3,
// Ctrl+Shift 4; any other combination is refused (nullopt), so the drag shows it cannot land.
std::optional<int> dropActionFor(bool ctrl, bool shift, bool alt);
// The drop window's tooltip: what each combination does.
extern const char* const kDropWindowTip;
// Clipboard captures always ask for a task made from the default options.
constexpr int kClipboardAction = 0;

// The link in a text when the whole text, blanks around it aside, is one http://, https:// or
// ftp:// URL.
std::optional<std::string> linkInText(std::string_view text);
// The first fetchable URL of a text/uri-list (comment lines start with "#").
std::optional<std::string> linkInUriList(std::string_view list);

// The formats of a drag that matter, as the toolkit delivered them (UTF-8).
struct DropFormats {
    std::optional<std::string> uriList;  // text/uri-list
    std::optional<std::string> text;     // text/plain
    std::optional<std::string> html;     // text/html
    std::optional<std::string> pageUrl;  // the page a dragged selection comes from
};

// A capture: a URL, with the document's bytes when a document was dropped. A dragged link
// carries its anchor as HTML too, so a link in the drag wins over the HTML; HTML without one is
// a document, taken with the page's URL when the drag names it (without a URL the engine drops
// it after releasing the bytes).
struct DropCapture {
    std::optional<std::string> url;
    std::string document;
};
std::optional<DropCapture> captureOfDrop(const DropFormats& formats);

// The drop window's place on the screen as the configuration file keeps it: "x,y".
struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};
std::string positionText(ScreenPoint point);
// Nothing for an empty or malformed text: the window then takes its first-run place.
std::optional<ScreenPoint> positionFromText(std::string_view text);

}  // namespace quillharbor
