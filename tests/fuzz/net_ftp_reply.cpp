// Bytes of an FTP control connection. The first byte picks the line-end mode and a cut; the
// lines read with the input fed in two pieces must equal those read with it fed whole, no line
// may hold a line end inside, and every reply parser must accept every line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/ftp_reply.h"
#include "net/ftp_reply_reader.h"

namespace {

std::vector<quillharbor::FtpReplyLine> readAll(bool acceptLF, std::string_view first,
                                               std::string_view second) {
    quillharbor::FtpReplyReader reader(acceptLF);
    std::vector<quillharbor::FtpReplyLine> lines;
    for (const std::string_view piece : {first, second}) {
        reader.feed(piece.substr(0, reader.room()));
        while (auto line = reader.next()) lines.push_back(*line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    if (size == 0)
        return 0;
    const bool acceptLF = (data[0] & 1) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    // Whole lines only: a line cut by the buffer limit is not compared.
    if (input.size() >= FtpReplyReader::BufferSize - 1)
        return 0;
    const std::size_t cut = input.empty() ? 0 : data[0] % (input.size() + 1);

    const std::vector<FtpReplyLine> whole = readAll(acceptLF, input, {});
    const std::vector<FtpReplyLine> split =
        readAll(acceptLF, input.substr(0, cut), input.substr(cut));
    check(whole.size() == split.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const FtpReplyLine& line = whole[i];
        check(line.text == split[i].text && line.code == split[i].code &&
              line.endsReply == split[i].endsReply);
        check(line.text.empty() || (line.text.back() != '\r' && line.text.back() != '\n'));
        check(line.code == replyCode(line.text));
        check(!line.endsReply || line.code >= 0);
        if (const auto size = sizeFromReply(line.text))
            check(*size >= 0);
        if (const auto port = passivePortFromReply(line.text))
            check(*port != 0);
        (void)directoryFromReply(line.text);
    }
    return 0;
}
