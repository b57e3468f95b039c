// Bytes of a listing's data connection, read as MLSD and as NLST: every entry must be usable as
// one segment of a path, and an NLST entry is never a directory.

#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "net/ftp_listing.h"

namespace {

void checkSafe(const quillharbor::FtpListingEntry& entry) {
    const std::string_view name = entry.name;
    check(!name.empty() && name != "." && name != "..");
    check(name.find_first_of(std::string_view("/\r\n\0", 4)) == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const std::string_view input = asText(data, size);
    for (const FtpListingEntry& entry : ParseMlsdListing(input)) checkSafe(entry);
    for (const FtpListingEntry& entry : ParseNlstListing(input)) {
        checkSafe(entry);
        check(!entry.directory);
    }
    return 0;
}
