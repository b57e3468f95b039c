// HTTP responses as servers send them, in any pieces: the parser must tell the same story, and
// every kept header line and every body piece must fit its buffer. The whole input is also a
// proxy's answer to CONNECT: an open tunnel has a 2xx status, a refused one a status of three
// digits (or 800 for a malformed status line), and an answer without its end is incomplete until
// it passes the limit.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/http_response_parser.h"
#include "net/http_tunnel.h"

namespace {

using quillharbor::HttpResponseInfo;
using quillharbor::HttpResponseParser;

class Log : public HttpResponseParser::Handler {
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
    std::string text;
};

std::string story(const std::vector<std::string_view>& pieces) {
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

void checkTunnelReply(std::string_view input) {
    using quillharbor::TunnelReply;
    const TunnelReply reply = quillharbor::readTunnelReply(input);
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
                      (input.size() > quillharbor::kMaxTunnelReplyBytes));
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkSameStoryInAnyPieces(data, size, story);
    checkTunnelReply(asText(data, size));
    return 0;
}
