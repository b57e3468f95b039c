// Bytes of an FTP control connection, in any pieces; the first byte also picks the line-end
// mode. The reader must give the same lines whatever the pieces, no line may hold a line end
// inside, and every reply parser must accept every line. The whole input is also a listing's
// data connection, read as MLSD and as NLST: every entry must be usable as one segment of a
// path, and an NLST entry is never a directory.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"
#include "net/ftp_reply_reader.h"

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
    // Whole lines only: a line cut by the buffer limit is not compared.
    if (size == 0 || size >= FtpReplyReader::BufferSize)
        return 0;
    const bool acceptLF = (data[0] & 1) != 0;
    checkSameStoryInAnyPieces(data, size, [acceptLF](const std::vector<std::string_view>& pieces) {
        FtpReplyReader reader(acceptLF);
        std::string story;
        for (const std::string_view piece : pieces) {
            reader.feed(piece.substr(0, reader.room()));
            while (const auto line = reader.next()) {
                check(line->text.empty() ||
                      (line->text.back() != '\r' && line->text.back() != '\n'));
                check(line->code == replyCode(line->text));
                check(!line->endsReply || line->code >= 0);
                if (const auto bytes = sizeFromReply(line->text))
                    check(*bytes >= 0);
                if (const auto port = passivePortFromReply(line->text))
                    check(*port != 0);
                (void)directoryFromReply(line->text);
                story +=
                    std::to_string(line->text.size()) + (line->endsReply ? "." : "-") + line->text;
            }
        }
        return story;
    });
    return 0;
}
