#pragma once

#include <cstdint>

namespace quillharbor {

// The states of THttpCli, numbered as its owners and traces know them.
enum class THttpState : std::uint8_t {
    httpReady = 0,
    httpNotConnected = 1,
    httpConnected = 2,
    httpDnsLookup = 3,
    httpDnsLookupDone = 4,
    httpWaitingHeader = 5,
    httpWaitingBody = 6,
    httpAborting = 7,
};

const char* toString(THttpState state);

// The kinds of request. Only GET is built: the program fetches documents and nothing else.
enum class THttpRequest : std::uint8_t { httpNone = 0, httpGET = 1 };

}  // namespace quillharbor
