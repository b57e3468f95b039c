#include "parser/attribute_url.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "parser/ascii.h"
#include "parser/utf8.h"

namespace quillharbor {

namespace {

constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;

bool isUrlWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<std::uint32_t> digitValue(char c, std::uint32_t base) {
    std::uint32_t value = 16;
    if (isAsciiDigit(c)) {
        value = static_cast<std::uint32_t>(c - '0');
    } else if (base == 16) {
        const char lower = toLowerAscii(c);
        if (lower >= 'a' && lower <= 'f') {
            value = static_cast<std::uint32_t>(lower - 'a' + 10);
        }
    }
    return value < base ? std::optional(value) : std::nullopt;
}

// The code point of "#38" or "#x26" (the text between "&" and ";").
std::optional<std::uint32_t> numericReference(std::string_view name) {
    std::uint32_t base = 10;
    name.remove_prefix(1);
    if (!name.empty() && toLowerAscii(name.front()) == 'x') {
        base = 16;
        name.remove_prefix(1);
    }
    if (name.empty()) {
        return std::nullopt;
    }
    std::uint32_t code = 0;
    for (const char c : name) {
        const std::optional<std::uint32_t> digit = digitValue(c, base);
        if (!digit || code > (kMaxCodePoint - *digit) / base) {
            return std::nullopt;
        }
        code = code * base + *digit;
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code == 0 || surrogate ? std::nullopt : std::optional(code);
}

std::optional<std::uint32_t> namedReference(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{{
        {"amp", '&'},
        {"lt", '<'},
        {"gt", '>'},
        {"quot", '"'},
        {"apos", '\''},
    }};
    for (const auto& [known, c] : kNamed) {
        if (name == known) {
            return static_cast<std::uint32_t>(c);
        }
    }
    return std::nullopt;
}

// The longest reference name worth looking at: "#x10FFFF" and every known name are shorter.
constexpr std::size_t kMaxReferenceName = 10;

}  // namespace

std::string UrlFromAttributeValue(std::string_view value) {
    while (!value.empty() && isUrlWhitespace(value.front())) {
        value.remove_prefix(1);
    }
    while (!value.empty() && isUrlWhitespace(value.back())) {
        value.remove_suffix(1);
    }
    std::string url;
    url.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        const std::size_t semicolon =
            c == '&' ? value.substr(i, kMaxReferenceName + 2).find(';') : std::string_view::npos;
        if (semicolon != std::string_view::npos) {
            const std::string_view name = value.substr(i + 1, semicolon - 1);
            const std::optional<std::uint32_t> code =
                name.starts_with('#') ? numericReference(name) : namedReference(name);
            if (code) {
                AppendUtf8(url, *code);
                i += semicolon;
                continue;
            }
        }
        url += c;
    }
    return url;
}

}  // namespace quillharbor
