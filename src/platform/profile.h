#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace quillharbor {

// An INI file read and written the way the Windows private-profile functions do it: "[section]"
// lines open sections, "key=value" lines hold settings, section and key names match without
// regard to ASCII case or surrounding blanks, values are taken as they stand (everything after
// the first "="). Every other line (comments, unknown keys, other sections) is kept in place on
// write. Lines may end with CR LF or LF; saving writes CR LF. When a section or key occurs twice,
// the first occurrence counts.
//
// A Profile is the whole file in memory: load once, read and write many keys, save once.
class Profile {
public:
    // A profile for path with no lines, as if the file were missing.
    explicit Profile(std::string path);

    // Reads path; a missing file gives an empty profile. Any other failure is an error.
    static Result<Profile> load(std::string path);

    // The value of key in section, or nothing when either is missing.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    // Sets key=value: replaces the key's line where it is, else adds the line after the
    // section's last key, else adds the section at the end of the file. Refuses names and
    // values that could not be read back as written (line breaks, "=" or "]" in a name, a name
    // with surrounding blanks or opening like a comment or section); the profile is then unchanged.
    Status writeString(std::string_view section, std::string_view key, std::string_view value);

    // The file's text as save() writes it.
    std::string text() const;

    // Replaces the file atomically with text().
    Status save() const;

    const std::string& path() const { return m_path; }

private:
    struct Location {
        std::size_t sectionLine;
        std::optional<std::size_t> keyLine;
        std::size_t lastKeyLine;  // the header itself while the section has no key
    };

    std::optional<Location> locate(std::string_view section, std::string_view key) const;

    std::string m_path;
    std::vector<std::string> m_lines;  // without their line ends
};

// One-call forms. Reading a missing file or key gives fallback; writing loads, changes and saves
// the file in one go.
Result<std::string> readProfileString(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view fallback);
Status writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace quillharbor
