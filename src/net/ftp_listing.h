#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

// The entries of a directory listing, read from the bytes of its data connection.
struct FtpListingEntry {
    std::string name;
    // False for a file, and for every NLST entry: NLST names only, so what an entry is shows when
    // it is fetched.
    bool directory = false;

    bool operator==(const FtpListingEntry&) const = default;
};

// Lines end at LF, with a CR before it dropped. A name is taken only when it is safe to use as
// one segment of a path: not empty, not "." or "..", and free of "/", CR, LF and NUL. Entries
// come in listing order; nothing is decoded or transcoded.

// MLSD: "fact=value;...; name" per line (the name follows the first blank). "type=file" and
// "type=dir" (any letter case) give files and directories; "cdir", "pdir" and other types (links,
// devices) are left out. A line without a type fact is taken as a file.
std::vector<FtpListingEntry> ParseMlsdListing(std::string_view bytes);

// NLST: one name per line.
std::vector<FtpListingEntry> ParseNlstListing(std::string_view bytes);

}  // namespace quillharbor
