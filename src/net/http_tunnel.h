#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// The CONNECT exchange that opens a tunnel through an HTTP proxy to hostPort ("host:443"),
// with the proxy's Basic login when user is not empty. CR, LF and NUL bytes of the values are
// dropped, as in every request the client composes.
std::string composeConnectRequest(std::string_view hostPort, std::string_view user,
                                  std::string_view password);

// What a proxy's answer to CONNECT says so far.
struct TunnelReply {
    enum class Phase {
        Incomplete,  // the header has not ended yet
        Open,        // a 2xx status: the tunnel carries the session from here
        Refused,     // status holds the proxy's (800 when the status line is malformed)
        TooLong,     // the header passed kMaxTunnelReplyBytes
    };
    Phase phase = Phase::Incomplete;
    int status = 0;
};

// A proxy's answer header longer than this is refused: it cannot be a tunnel's.
inline constexpr std::size_t kMaxTunnelReplyBytes = 16 * 1024;

// Reads the bytes a proxy answered so far. The proxy says nothing past its header until the
// client speaks, so nothing after the empty line belongs to the session.
TunnelReply readTunnelReply(std::string_view bytes);

}  // namespace quillharbor
