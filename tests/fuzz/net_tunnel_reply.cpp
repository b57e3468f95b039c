// A proxy's answer to CONNECT, as bytes arrive. An open tunnel has a 2xx status, a refused one a
// status of three digits (or 800 for a malformed status line), and an answer without its end is
// incomplete until it passes the limit.

#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "net/http_tunnel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const std::string_view input = asText(data, size);
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
                  (reply.phase == TunnelReply::Phase::TooLong) == (size > kMaxTunnelReplyBytes));
            break;
    }
    return 0;
}
