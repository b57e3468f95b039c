// Bytes a SOCKS server sends. The first byte picks the level (4, 4A or 5), whether a usercode is
// offered and the size of the pieces the bytes arrive in. A step that fails says why and sends
// nothing; a negotiation that succeeds reports a decimal port and hands back exactly the bytes
// after the reply; one still waiting always has room to read more.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/socks_negotiator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    if (size == 0)
        return 0;
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
            return 0;
        }
        if (step.connected) {
            check(step.send.empty() && negotiator.phase() == SocksNegotiator::Phase::None);
            check(bytes.ends_with(step.applicationBytes));
            const std::string& port = negotiator.boundPort();
            check(!port.empty() && port.size() <= 5 &&
                  port.find_first_not_of("0123456789") == std::string::npos &&
                  std::stoul(port) <= 65535);
            return 0;
        }
    }
    return 0;
}
