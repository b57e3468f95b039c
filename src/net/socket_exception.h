#pragma once

#include <stdexcept>
#include <string>

namespace quillharbor {

// Raised by the socket for misuse and, when no OnError handler is assigned, for failures the
// owner's own call ran into. Never raised past the message loop: failures that surface inside
// the loop reach OnBgException.
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace quillharbor
