#pragma once

#include <stdexcept>
#include <string>

namespace quillharbor {

// Raised by the FTP client for misuse ("FTP component not ready" ...) when no OnError handler is
// assigned. Raised inside a handler run from the loop, it reaches OnBgException instead.
class FtpException : public std::runtime_error {
public:
    explicit FtpException(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace quillharbor
