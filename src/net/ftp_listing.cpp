#include "net/ftp_listing.h"

#include <optional>

#include "parser/ascii.h"

namespace quillharbor {

namespace {

bool safeName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\r\n\0", 4)) == std::string_view::npos;
}

// Calls take(line) for each line, its line end removed.
template <typename Take>
void forEachLine(std::string_view bytes, Take take) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        take(line);
    }
}

// The value of the type fact of an MLSD fact list; nothing when the list has none.
std::optional<std::string_view> typeFact(std::string_view facts) {
    while (!facts.empty()) {
        const std::size_t end = facts.find(';');
        const std::string_view fact = facts.substr(0, end);
        facts.remove_prefix(end == std::string_view::npos ? facts.size() : end + 1);
        const std::size_t equals = fact.find('=');
        if (equals != std::string_view::npos &&
            equalsIgnoringAsciiCase(fact.substr(0, equals), "type"))
            return fact.substr(equals + 1);
    }
    return std::nullopt;
}

}  // namespace

std::vector<FtpListingEntry> ParseMlsdListing(std::string_view bytes) {
    std::vector<FtpListingEntry> entries;
    forEachLine(bytes, [&](std::string_view line) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return;
        const std::string_view name = line.substr(blank + 1);
        const std::optional<std::string_view> type = typeFact(line.substr(0, blank));
        const bool directory = type && equalsIgnoringAsciiCase(*type, "dir");
        if (type && !directory && !equalsIgnoringAsciiCase(*type, "file"))
            return;
        if (safeName(name))
            entries.push_back({std::string(name), directory});
    });
    return entries;
}

std::vector<FtpListingEntry> ParseNlstListing(std::string_view bytes) {
    std::vector<FtpListingEntry> entries;
    forEachLine(bytes, [&](std::string_view line) {
        if (safeName(line))
            entries.push_back({std::string(line), false});
    });
    return entries;
}

}  // namespace quillharbor
