// Bytes from the network, read by every reader of the net layer.
// - An HTTP response in any pieces: the parser must tell the same story, and every kept header
//   line and every body piece must fit its buffer. The same bytes as a chunked body: the decoder
//   must tell the same story too (the same body, end and failure), take a piece whole unless it
//   has ended, and never give more body than it was given.
// - A proxy's answer to CONNECT: an open tunnel has a 2xx status, a refused one a status of three
//   digits (or 800 for a malformed status line), and an answer without its end is incomplete
//   until it passes the limit.
// - A base, a line feed, then a Location value: a followed value is an absolute http or https URL
//   without fragment or dot segments, and resolving it again, against any base, gives it back
//   unchanged.
// - An FTP control connection in any pieces, the first byte's low bit picking the line-end mode:
//   the reader must give the same lines whatever the pieces, no line may hold a line end inside,
//   and every reply parser must accept every line. A listing's data connection, read as MLSD and
//   as NLST: every entry must be usable as one segment of a path, and an NLST entry is never a
//   directory.
// - A SOCKS server's replies after the first byte, which picks the level (4, 4A or 5), whether a
//   usercode is offered and the size of the pieces. A step that fails says why and sends
//   nothing; a negotiation that succeeds reports a decimal port and hands back exactly the bytes
//   after the reply; one still waiting always has room to read more.
// - A script for the socket's line mode: each byte is an operation (low three bits) and its
//   argument (the rest); an added piece takes the bytes that follow (echoed when their count is
//   odd). A plain string kept beside the assembler says what it holds: every offered line must
//   end at the first line end in it, and every byte read must be the next one of it, whatever
//   the line end was changed to.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/ftp_listing.h"
#include "net/ftp_reply.h"
#include "net/ftp_reply_reader.h"
#include "net/http_chunked_decoder.h"
#include "net/http_redirect.h"
#include "net/http_response_parser.h"
#include "net/http_tunnel.h"
#include "net/line_assembler.h"
#include "net/socks_negotiator.h"

namespace {

using namespace quillharbor;

class Log : public HttpResponseParser::Handler, public ChunkedDecoder::Sink {
public:
    void onHeaderBegin() override { text += '['; }
    void onHeaderData(const std::string& line) override {
        check(line.size() < HttpResponseParser::BufferSize);
        text += line + '\n';
    }
    void onHeaderEnd() override { text += ']'; }
    void onBody(const char* data, std::size_t length) override {
        check(length > 0 && length <= HttpResponseParser::BufferSize);
        text.append(data, length);
    }
    void onDecoded(const char* data, std::size_t length) override {
        check(length > 0);
        text.append(data, length);
    }
    std::string text;
};

std::string responseStory(const std::vector<std::string_view>& pieces) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    for (const std::string_view piece : pieces) parser.feed(piece);
    const HttpResponseInfo& info = parser.info();
    check(info.headerBytes <=
          HttpResponseInfo::MaxKeptHeaderBytes + HttpResponseParser::BufferSize);
    return log.text + HttpResponseParser::toString(parser.phase()) + " " +
           std::to_string(info.statusCode) + " " + std::to_string(info.contentLength) + " " +
           info.contentType + " " + info.location.value_or("-");
}

std::string chunkedStory(const std::vector<std::string_view>& pieces) {
    ChunkedDecoder decoder;
    Log sink;
    std::size_t taken = 0;
    for (const std::string_view piece : pieces) {
        const std::size_t count = decoder.feed(piece, sink);
        check(count == piece.size() ||
              (count < piece.size() && decoder.status() != ChunkedDecoder::Status::Reading));
        taken += count;
    }
    check(sink.text.size() <= taken);
    return sink.text + "|" + std::to_string(static_cast<int>(decoder.status())) + "|" +
           decoder.failure() + "|" + std::to_string(taken);
}

void checkTunnelReply(std::string_view input) {
    const TunnelReply reply = readTunnelReply(input);
    switch (reply.phase) {
        case TunnelReply::Phase::Open:
            check(reply.status >= 200 && reply.status <= 299);
            break;
        case TunnelReply::Phase::Refused:
            check(reply.status >= 0 && reply.status <= 999);
            break;
        case TunnelReply::Phase::Incomplete:
        case TunnelReply::Phase::TooLong:
            check(input.find("\n\n") == std::string_view::npos &&
                  input.find("\r\n\r\n") == std::string_view::npos &&
                  (reply.phase == TunnelReply::Phase::TooLong) ==
                      (input.size() > kMaxTunnelReplyBytes));
            break;
    }
}

void checkRedirect(std::string_view input) {
    const auto [base, value] = splitAtLineFeed(input);
    const bool followHttps = !value.empty() && value.front() % 2 == 0;
    const auto url = resolveHttpRedirect(base, value, followHttps);
    if (!url) {
        return;
    }
    const bool secure = url->starts_with("https://");
    const std::string_view withoutQuery = std::string_view(*url).substr(0, url->find('?'));
    const std::size_t pathStart = withoutQuery.find('/', secure ? 8 : 7);
    const std::string_view path =
        pathStart == std::string_view::npos ? "/" : withoutQuery.substr(pathStart);
    check((secure || url->starts_with("http://")) && url->find('#') == std::string::npos);
    check(path.find("/./") == std::string_view::npos &&
          path.find("/../") == std::string_view::npos && !path.ends_with("/.") &&
          !path.ends_with("/.."));
    check(resolveHttpRedirect("http://other/x/y", *url, true) == url);
}

void checkSafe(const FtpListingEntry& entry) {
    const std::string_view name = entry.name;
    check(!name.empty() && name != "." && name != "..");
    check(name.find_first_of(std::string_view("/\r\n\0", 4)) == std::string_view::npos);
}

void checkFtp(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = asText(data, size);
    for (const FtpListingEntry& entry : ParseMlsdListing(input)) checkSafe(entry);
    for (const FtpListingEntry& entry : ParseNlstListing(input)) {
        checkSafe(entry);
        check(!entry.directory);
    }
    // Whole lines only: a line cut by the buffer limit is not compared.
    if (size == 0 || size >= FtpReplyReader::BufferSize)
        return;
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
}

void checkSocks(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    constexpr std::string_view kLevels[] = {"4", "4A", "5", "5"};
    SocksRequest request;
    request.level = kLevels[data[0] & 3];
    if ((data[0] & 4) != 0) {
        request.authentication = TSocksAuthentication::socksAuthenticateUsercode;
        request.usercode = "user";
        request.password = "secret";
    }
    request.host = "example.org";
    request.port = 8080;
    const std::size_t piece = 1 + (data[0] >> 3);
    std::string_view replies = asText(data + 1, size - 1);

    SocksNegotiator negotiator;
    negotiator.begin(request);
    check(!negotiator.start().failed());
    while (!replies.empty()) {
        check(negotiator.room() > 0);
        const std::string_view bytes = replies.substr(0, std::min(piece, negotiator.room()));
        replies.remove_prefix(bytes.size());
        const SocksStep step = negotiator.feed(bytes);
        if (step.failed()) {
            check(!step.errorText.empty() && step.send.empty() && !step.connected);
            return;
        }
        if (step.connected) {
            check(step.send.empty() && negotiator.phase() == SocksNegotiator::Phase::None);
            check(bytes.ends_with(step.applicationBytes));
            const std::string& port = negotiator.boundPort();
            check(!port.empty() && port.size() <= 5 &&
                  port.find_first_not_of("0123456789") == std::string::npos &&
                  std::stoul(port) <= 65535);
            return;
        }
    }
}

constexpr std::string_view kLineEnds[] = {"\r\n", "\n", "\r", "", "\n\n", "END", "\r\n\r\n"};

// What the assembler holds after adding bytes in edit mode.
void addEdited(std::string& held, std::size_t offered, std::string_view bytes) {
    for (const char byte : bytes) {
        if (byte == '\b') {
            if (held.size() > offered)
                held.pop_back();
        } else if (byte == '\t') {
            do held.push_back(' ');
            while (held.size() % 8 != 0);
        } else {
            held.push_back(byte);
        }
    }
}

void checkLines(const std::uint8_t* data, std::size_t size) {
    LineAssembler lines;
    std::string held;
    std::size_t offered = 0;
    char out[64];
    const auto readOut = [&](std::size_t count) {
        check(std::string_view(out, count) == std::string_view(held).substr(0, count));
        held.erase(0, count);
    };
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t op = data[at] & 7;
        const std::size_t argument = data[at] >> 3;
        ++at;
        switch (op) {
            case 0:
            case 1: {
                const std::string_view piece = asText(data + at, std::min(argument, size - at));
                at += piece.size();
                const bool edit = op == 1;
                // Odd lengths are echoed.
                const bool echo = argument % 2 != 0;
                const std::string echoed = lines.add(piece, edit, echo);
                check(echo || echoed.empty());
                if (edit) {
                    addEdited(held, offered, piece);
                } else {
                    check(!echo || echoed == piece);
                    held += piece;
                }
                break;
            }
            case 2: {
                if (offered == 0 && !lines.lineEnd().empty()) {
                    const std::size_t end = held.find(lines.lineEnd());
                    offered = end == std::string::npos ? 0 : end + lines.lineEnd().size();
                }
                check(lines.offerLine() == offered);
                break;
            }
            case 3: {
                const std::size_t count = lines.readLine(out, std::min(argument, sizeof out));
                check(count == std::min({argument, sizeof out, offered}));
                readOut(count);
                offered -= count;
                break;
            }
            case 4:
                lines.dropLine();
                held.erase(0, offered);
                offered = 0;
                break;
            case 5: {
                const std::size_t count = lines.readBuffered(out, std::min(argument, sizeof out));
                check(count == std::min({argument, sizeof out, held.size()}));
                readOut(count);
                offered -= std::min(offered, count);
                break;
            }
            case 6:
                lines.setLineEnd(std::string(kLineEnds[argument % std::size(kLineEnds)]));
                break;
            case 7:
                if (argument % 2 == 0) {
                    offered = lines.offerRest();
                    check(offered == held.size());
                } else {
                    lines.clear();
                    held.clear();
                    offered = 0;
                }
                break;
        }
        check(lines.size() == held.size() && lines.offered() == offered);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkSameStoryInAnyPieces(data, size, responseStory);
    checkSameStoryInAnyPieces(data, size, chunkedStory);
    checkTunnelReply(asText(data, size));
    checkRedirect(asText(data, size));
    checkFtp(data, size);
    checkSocks(data, size);
    checkLines(data, size);
    return 0;
}
