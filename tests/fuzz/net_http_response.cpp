// HTTP responses as servers send them, in any pieces: the parser must tell the same story, and
// every kept header line and every body piece must fit its buffer.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/http_response_parser.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkSameStoryInAnyPieces(data, size, story);
    return 0;
}
