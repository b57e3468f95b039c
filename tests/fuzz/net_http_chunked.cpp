// Chunked bodies as servers send them. The first byte picks a split point; the rest is the coded
// body. Fed whole, split in two and one byte at a time, the decoder must tell the same story:
// the same body, the same end, the same failure, and never more body than it was given.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/http_chunked_decoder.h"

namespace {

using quillharbor::ChunkedDecoder;

class Collect : public ChunkedDecoder::Sink {
public:
    void onDecoded(const char* data, std::size_t length) override {
        if (length == 0) {
            std::abort();
        }
        body.append(data, length);
    }
    std::string body;
};

std::string story(std::string_view coded, std::size_t first, std::size_t step) {
    ChunkedDecoder decoder;
    Collect sink;
    std::size_t taken = decoder.feed(coded.substr(0, first), sink);
    for (std::size_t at = first; at < coded.size(); at += step) {
        const std::string_view piece = coded.substr(at, step);
        const std::size_t count = decoder.feed(piece, sink);
        if (count > piece.size() ||
            (count < piece.size() && decoder.status() == ChunkedDecoder::Status::Reading)) {
            std::abort();
        }
        taken += count;
    }
    if (taken > coded.size() || sink.body.size() > taken) {
        std::abort();
    }
    return sink.body + "|" + std::to_string(static_cast<int>(decoder.status())) + "|" +
           decoder.failure() + "|" + std::to_string(taken);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view coded(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = data[0] % (coded.size() + 1);
    const std::string whole = story(coded, coded.size(), 1);
    if (story(coded, split, coded.size() + 1) != whole || story(coded, 0, 1) != whole) {
        std::abort();
    }
    return 0;
}
