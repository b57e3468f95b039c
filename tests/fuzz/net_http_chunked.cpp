// Chunked bodies as servers send them, in any pieces: the decoder must tell the same story (the
// same body, the same end, the same failure), take a piece whole unless it has ended, and never
// give more body than it was given.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/http_chunked_decoder.h"

namespace {

using quillharbor::ChunkedDecoder;

class Collect : public ChunkedDecoder::Sink {
public:
    void onDecoded(const char* data, std::size_t length) override {
        check(length > 0);
        body.append(data, length);
    }
    std::string body;
};

std::string story(const std::vector<std::string_view>& pieces) {
    ChunkedDecoder decoder;
    Collect sink;
    std::size_t taken = 0;
    for (const std::string_view piece : pieces) {
        const std::size_t count = decoder.feed(piece, sink);
        check(count == piece.size() ||
              (count < piece.size() && decoder.status() != ChunkedDecoder::Status::Reading));
        taken += count;
    }
    check(sink.body.size() <= taken);
    return sink.body + "|" + std::to_string(static_cast<int>(decoder.status())) + "|" +
           decoder.failure() + "|" + std::to_string(taken);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkSameStoryInAnyPieces(data, size, story);
    return 0;
}
