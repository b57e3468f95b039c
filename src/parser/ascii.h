#pragma once

#include <optional>
#include <string_view>

namespace quillharbor {

// Byte classes of the parsers. Only ASCII letters fold case; every byte of 128 and above is an
// ordinary character above the blank, whatever the platform's char signedness.

inline bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool isAsciiAlnum(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

inline std::optional<int> asciiHexValue(char c) {
    if (isAsciiDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

inline char toLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace quillharbor
