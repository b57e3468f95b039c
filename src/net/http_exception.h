#pragma once

#include <stdexcept>
#include <string>

namespace quillharbor {

// Raised to the caller for misuse of THttpCli; network failures never raise, they end the
// request with a status code.
class EHttpException : public std::runtime_error {
public:
    EHttpException(const std::string& text, int code) : std::runtime_error(text), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

}  // namespace quillharbor
