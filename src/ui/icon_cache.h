#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/dn_obj.h"

namespace quillharbor {

// Asks the desktop for a file's type icon.
class FileIconSource {
public:
    virtual ~FileIconSource() = default;
    // The icon index for the existing file at path, or -1 when there is none (missing file,
    // failed query).
    virtual int iconOfFile(const std::string& path) = 0;
};

// File-type icons by extension ("." to the end of the text), filled as saved files are met.
// Extensions of files that carry their own icon (programs, icons, links) are never cached, so
// each such file is asked for again.
class IconCache {
public:
    // The cached icon, or -1.
    int find(std::string_view extension) const;
    // Caches an icon, unless the extension is one of those never cached.
    void add(std::string extension, int icon);
    std::size_t size() const { return m_entries.size(); }

private:
    std::vector<std::pair<std::string, int>> m_entries;
};

// The icon of an object's row: for objects with no file yet (queued, failed, protocol error,
// excluded, FTP error) the cached icon of the URL's extension; for the others the saved file's,
// asking the source on a cache miss. Everything that fails gives icon 0.
int chooseObjectIcon(const TDnObj& object, IconCache& cache, FileIconSource& source);

}  // namespace quillharbor
