// HTTP responses as servers send them. The first byte picks a split point; the rest is the
// response. Fed whole, split in two and one byte at a time, the parser must tell the same story,
// and every kept header line and every body piece must fit its buffer.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/http_response_parser.h"

namespace {

using quillharbor::HttpResponseInfo;
using quillharbor::HttpResponseParser;

class Log : public HttpResponseParser::Handler {
public:
    void onHeaderBegin() override { text += '['; }
    void onHeaderData(const std::string& line) override {
        if (line.size() >= HttpResponseParser::BufferSize) {
            std::abort();
        }
        text += line;
        text += '\n';
    }
    void onHeaderEnd() override { text += ']'; }
    void onBody(const char* data, std::size_t length) override {
        if (length == 0 || length > HttpResponseParser::BufferSize) {
            std::abort();
        }
        text.append(data, length);
    }
    std::string text;
};

std::string story(std::string_view response, std::size_t first, std::size_t step) {
    Log log;
    HttpResponseParser parser(log);
    parser.startRequest();
    parser.feed(response.substr(0, first));
    for (std::size_t at = first; at < response.size(); at += step) {
        parser.feed(response.substr(at, step));
    }
    const HttpResponseInfo& info = parser.info();
    if (info.headerBytes > HttpResponseInfo::MaxKeptHeaderBytes + HttpResponseParser::BufferSize) {
        std::abort();
    }
    return log.text + HttpResponseParser::toString(parser.phase()) + " " +
           std::to_string(info.statusCode) + " " + std::to_string(info.contentLength) + " " +
           info.contentType + " " + info.location.value_or("-");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view response(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = data[0] % (response.size() + 1);
    const std::string whole = story(response, response.size(), 1);
    if (story(response, split, response.size() + 1) != whole || story(response, 0, 1) != whole) {
        std::abort();
    }
    return 0;
}
