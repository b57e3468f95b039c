#include "parser/percent_encoding.h"

#include <optional>

#include "parser/ascii.h"

namespace quillharbor {

namespace {

bool needsEscape(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 32 || byte >= 127 ||
           std::string_view("/#%&'?\"<>\\^`{|}").find(c) != std::string_view::npos;
}

bool mayStandRaw(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 32 && byte < 127 &&
           std::string_view("\"<>\\^`{|}").find(c) == std::string_view::npos;
}

void appendEscape(std::string& out, char c) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::optional<int> high = asciiHexValue(text[i + 1]);
            const std::optional<int> low = asciiHexValue(text[i + 2]);
            if (high && low) {
                decoded += static_cast<char>(*high * 16 + *low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

std::string PercentEncodeSegment(std::string_view segment) {
    std::string encoded;
    encoded.reserve(segment.size());
    for (const char c : segment) {
        if (needsEscape(c)) {
            appendEscape(encoded, c);
        } else {
            encoded += c;
        }
    }
    return encoded;
}

std::string PercentEncodeUrl(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool escape = c == '%' && i + 2 < text.size() && asciiHexValue(text[i + 1]) &&
                            asciiHexValue(text[i + 2]);
        if (escape || (c != '%' && mayStandRaw(c))) {
            out += c;
        } else {
            appendEscape(out, c);
        }
    }
    return out;
}

}  // namespace quillharbor
