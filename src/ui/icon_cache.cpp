#include "ui/icon_cache.h"

#include <algorithm>

#include "model/task.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

// Any extension found inside this text is never cached: files of these types carry their own
// icons. The test is a substring test, so "." and ".ex" are never cached either.
constexpr std::string_view kOwnIconTypes = ".exe .com .ico .pif .lnk ";

bool neverCached(std::string_view extension) {
    return kOwnIconTypes.find(extension) != std::string_view::npos;
}

bool hasFileYet(ObjectState state) {
    switch (state) {
        case ObjectState::Queued:
        case ObjectState::Failed:
        case ObjectState::ProtocolError:
        case ObjectState::Excluded:
        case ObjectState::FtpError:
            return false;
        default:
            return true;
    }
}

}  // namespace

int IconCache::find(std::string_view extension) const {
    if (neverCached(extension)) {
        return -1;
    }
    const auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const auto& each) { return each.first == extension; });
    return entry == m_entries.end() ? -1 : entry->second;
}

void IconCache::add(std::string extension, int icon) {
    if (!neverCached(extension)) {
        m_entries.emplace_back(std::move(extension), icon);
    }
}

int chooseObjectIcon(const TDnObj& object, IconCache& cache, FileIconSource& source) {
    if (!hasFileYet(object.State)) {
        const std::string extension = FileExtOf(object.URL);
        return extension.empty() ? 0 : std::max(cache.find(extension), 0);
    }
    const std::string name =
        object.LocalName.empty() ? LocalNameFromUrl(object.URL) : object.LocalName;
    const std::string extension = FileExtOf(name);
    if (extension.empty()) {
        return 0;
    }
    if (const int cached = cache.find(extension); cached >= 0) {
        return cached;
    }
    const int icon = source.iconOfFile(object.Task->Dir + name);
    if (icon < 0) {
        return 0;
    }
    cache.add(extension, icon);
    return icon;
}

}  // namespace quillharbor
