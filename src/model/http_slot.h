#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/transfer_slot.h"

namespace quillharbor {

// The proxy an HTTP slot sends its requests through; all fields empty for direct requests.
struct HttpProxySettings {
    std::string Proxy;
    std::string ProxyPort;
    std::string ProxyPassword;
    std::string ProxyUser;
};

// An HTTP transfer slot.
class HttpSlot : public TransferSlot {
public:
    virtual void setProxy(const HttpProxySettings& proxy) = 0;
    // The host (HostPart) of the connection the slot keeps open for its next request; empty when
    // it keeps none, or none that may still serve one.
    virtual std::string_view keptHost() const { return {}; }

    // Ticks waited since the last transfer began and ticks since data last arrived: the
    // scheduler advances both; the slot resets both when it starts, and BusyTicks whenever a
    // block of data arrives.
    std::int32_t IdleTicks = 0;
    std::int32_t BusyTicks = 0;
    // Objects the slot took in a row for the host of its kept connection (ObjectPicker).
    std::uint32_t KeptPicks = 0;
};

}  // namespace quillharbor
