#pragma once

#include <cstdint>
#include <string>

#include "model/transfer_slot.h"

namespace quillharbor {

struct FtpSlotSettings {
    std::int32_t Timeout = 0;  // minutes
    std::string UserName;
    std::string Password;
    std::string ProxyServer;  // empty: no proxy
};

// An FTP transfer slot.
class FtpSlot : public TransferSlot {
public:
    virtual void configure(const FtpSlotSettings& settings) = 0;
    // Non-zero while a transfer runs.
    virtual std::int32_t InUse() const = 0;
};

}  // namespace quillharbor
