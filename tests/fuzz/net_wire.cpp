// HTTP responses as servers send them, in any pieces: the parser must tell the same story, and
// every kept header line and every body piece must fit its buffer. The same bytes as a chunked
// body: the decoder must tell the same story too (the same body, end and failure), take a piece
// whole unless it has ended, and never give more body than it was given.
// The whole input is also a proxy's answer to CONNECT: an open tunnel has a 2xx status, a refused
// one a status of three digits (or 800 for a malformed status line), and an answer without its end
// is incomplete until it passes the limit.
// And it is a base, a line feed, then a Location value: a followed value is an absolute http or
// https URL without fragment or dot segments, and resolving it again, against any base, gives it
// back unchanged.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/http_chunked_decoder.h"
#include "net/http_redirect.h"
#include "net/http_response_parser.h"
#include "net/http_tunnel.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkSameStoryInAnyPieces(data, size, responseStory);
    checkSameStoryInAnyPieces(data, size, chunkedStory);
    checkTunnelReply(asText(data, size));
    checkRedirect(asText(data, size));
    return 0;
}
