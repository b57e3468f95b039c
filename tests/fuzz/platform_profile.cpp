// INI files. Input: "section<TAB>key<TAB>value", a line feed, then the file. The file, loaded,
// saved and loaded again, must read the same; writing the key must either be refused and change
// nothing, or make the key read back as written, before and after a save, and leave other keys
// alone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/temp_directory.h"

namespace {

using quillharbor::Profile;

std::string_view field(std::string_view& text) {
    const std::size_t tab = text.find('\t');
    const std::string_view head = text.substr(0, tab);
    text.remove_prefix(tab == std::string_view::npos ? text.size() : tab + 1);
    return head;
}

Profile saved(const Profile& profile) {
    check(profile.save().ok());
    quillharbor::Result<Profile> loaded = Profile::load(profile.path());
    check(loaded.ok());
    return std::move(loaded).value();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    static const test::TempDirectory directory("/dev/shm");
    const std::string path = directory / "fuzz.ini";
    auto [request, input] = splitAtLineFeed(asText(data, size));
    const std::string_view section = field(request);
    const std::string_view key = field(request);
    const std::string_view value = request;

    check(replaceFileAtomically(path, input).ok());
    Result<Profile> loaded = Profile::load(path);
    check(loaded.ok());
    Profile profile = std::move(loaded).value();
    // Longer names than the written ones, so never the same.
    const std::string otherSection = std::string(section) + "-other";
    const std::string otherKey = std::string(key) + "-other";
    const std::pair<std::string_view, std::string_view> others[] = {{section, otherKey},
                                                                    {otherSection, key}};
    std::optional<std::string> before[std::size(others)];
    for (std::size_t i = 0; i < std::size(others); ++i)
        before[i] = profile.find(others[i].first, others[i].second);

    const std::string text = profile.text();
    check(saved(profile).text() == text);
    if (!profile.writeString(section, key, value).ok()) {
        check(profile.text() == text);
        return 0;
    }
    for (const Profile& written : {profile, saved(profile)}) {
        check(written.find(section, key) == std::string(value));
        for (std::size_t i = 0; i < std::size(others); ++i)
            check(written.find(others[i].first, others[i].second) == before[i]);
    }
    return 0;
}
