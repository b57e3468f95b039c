#include "platform/profile.h"

#include <cerrno>
#include <utility>

#include "platform/files.h"

namespace quillharbor {

namespace {

std::string_view trimBlanks(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The name of a "[name]" line.
std::optional<std::string_view> sectionNameOf(std::string_view line) {
    line = trimBlanks(line);
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trimBlanks(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

// The key and value of a "key=value" line; comments (";") and lines without a name hold none.
std::optional<Entry> entryOf(std::string_view line) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view key = trimBlanks(line.substr(0, equals));
    if (key.empty() || key.starts_with(';')) {
        return std::nullopt;
    }
    return Entry{key, line.substr(equals + 1)};
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

bool isWrittenAsRead(std::string_view name) {
    return !name.empty() && trimBlanks(name) == name;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

Profile::Profile(std::string path) : m_path(std::move(path)) {}

Result<Profile> Profile::load(std::string path) {
    Profile profile(std::move(path));
    Result<std::string> contents = readWholeFile(profile.m_path);
    if (!contents) {
        if (contents.error().code == ENOENT) {
            return profile;
        }
        return contents.error();
    }
    profile.m_lines = splitLines(contents.value());
    return profile;
}

std::optional<Profile::Location> Profile::locate(std::string_view section,
                                                 std::string_view key) const {
    std::optional<Location> found;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (std::optional<std::string_view> name = sectionNameOf(m_lines[i])) {
            if (found) {
                break;
            }
            if (equalIgnoringCase(*name, section)) {
                found = Location{i, std::nullopt, i};
            }
            continue;
        }
        if (!found) {
            continue;
        }
        if (std::optional<Entry> entry = entryOf(m_lines[i])) {
            found->lastKeyLine = i;
            if (!found->keyLine && equalIgnoringCase(entry->key, key)) {
                found->keyLine = i;
            }
        }
    }
    return found;
}

std::optional<std::string> Profile::find(std::string_view section, std::string_view key) const {
    std::optional<Location> location = locate(trimBlanks(section), trimBlanks(key));
    if (!location || !location->keyLine) {
        return std::nullopt;
    }
    return std::string(entryOf(m_lines[*location->keyLine])->value);
}

std::string Profile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    std::optional<std::string> value = find(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

Status Profile::writeString(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (!isWrittenAsRead(section) || hasLineBreak(section) || section.find(']') != section.npos) {
        return Error{"unusable section name '" + std::string(section) + "' for " + m_path};
    }
    if (!isWrittenAsRead(key) || hasLineBreak(key) || key.find('=') != key.npos ||
        key.starts_with(';') || key.starts_with('[')) {
        return Error{"unusable key name '" + std::string(key) + "' for " + m_path};
    }
    if (hasLineBreak(value)) {
        return Error{"the value of " + std::string(key) + " holds a line break"};
    }
    std::string line = std::string(key) + "=" + std::string(value);
    std::optional<Location> location = locate(section, key);
    if (location && location->keyLine) {
        m_lines[*location->keyLine] = std::move(line);
    } else if (location) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(location->lastKeyLine + 1),
                       std::move(line));
    } else {
        if (!m_lines.empty() && !trimBlanks(m_lines.back()).empty()) {
            m_lines.emplace_back();
        }
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::move(line));
    }
    return {};
}

std::string Profile::text() const {
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

Status Profile::save() const {
    return replaceFileAtomically(m_path, text());
}

Result<std::string> readProfileString(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view fallback) {
    Result<Profile> profile = Profile::load(path);
    if (!profile) {
        return profile.error();
    }
    return profile.value().readString(section, key, fallback);
}

Status writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value) {
    Result<Profile> profile = Profile::load(path);
    if (!profile) {
        return profile.error();
    }
    if (Status written = profile.value().writeString(section, key, value); !written) {
        return written;
    }
    return profile.value().save();
}

}  // namespace quillharbor
