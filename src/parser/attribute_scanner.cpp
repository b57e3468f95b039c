#include "parser/attribute_scanner.h"

#include "parser/ascii.h"

namespace quillharbor {

namespace {

// Longer attribute names never match, whatever the wanted name.
constexpr std::size_t kMaxAttributeName = 15;

enum class ScanState {
    BetweenAttributes,
    InName,
    AfterWantedName,
    InValue,
    AfterOtherName,
    Skipping,
};

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

std::size_t nextTagBoundary(const char* bytes, std::size_t p) {
    while (bytes[p] != '>' && bytes[p] != '<') {
        ++p;
    }
    return p;
}

// The one scanner behind both entry points; endsAtHash is the rewriter's addition.
AttrValuePosition scanAttribute(const HtmlBuffer& buffer, std::string_view wanted,
                                std::size_t& position, bool endsAtHash) {
    if (position >= buffer.size() + HtmlBuffer::kSentinel.size()) {
        return {};
    }
    const char* bytes = buffer.data();
    std::size_t p = position;
    ScanState state = ScanState::BetweenAttributes;
    std::size_t nameStart = 0;
    std::size_t valueStart = 0;
    char closing = ' ';
    bool noEquals = false;
    AttrValuePosition found;
    for (;;) {
        const char c = bytes[p];
        if (c == '>') {
            position = p;
            return {};
        }
        switch (state) {
            case ScanState::BetweenAttributes:
                if (c == '<') {
                    position = p;
                    return {};
                }
                if (isAsciiAlnum(c)) {
                    nameStart = p;
                    state = ScanState::InName;
                }
                ++p;
                break;
            case ScanState::InName: {
                if (isAsciiAlnum(c)) {
                    ++p;
                    break;
                }
                if (c == '<') {
                    position = p;
                    return {};
                }
                const std::string_view name(bytes + nameStart, p - nameStart);
                if (name.size() <= kMaxAttributeName && equalsIgnoringAsciiCase(name, wanted)) {
                    found.nameStart = nameStart;
                    state = ScanState::AfterWantedName;
                } else {
                    state = ScanState::AfterOtherName;
                    noEquals = c != '=';
                }
                ++p;
                break;
            }
            case ScanState::AfterWantedName:
                if (c == '<') {
                    position = p;
                    return {};
                }
                if (isQuote(c)) {
                    closing = c;
                    found.start = p;
                    valueStart = p + 1;
                    state = ScanState::InValue;
                    ++p;
                } else if (c == '=' || isBlankOrControl(c)) {
                    ++p;
                } else {
                    closing = ' ';
                    found.start = p - 1;
                    valueStart = p;
                    state = ScanState::InValue;
                }
                break;
            case ScanState::InValue: {
                // A value cut short by the end of the document (a truncated file) ends there:
                // the sentinel is no part of it, and end stays inside the document.
                if (p == buffer.size()) {
                    found.value.assign(bytes + valueStart, p - valueStart);
                    found.end = p;
                    position = p;
                    return found;
                }
                const char next = bytes[p + 1];
                if (c == closing) {
                    found.value.assign(bytes + valueStart, p - valueStart);
                    found.end = p;
                } else if (next == '>' || (endsAtHash && next == '#')) {
                    found.value.assign(bytes + valueStart, p + 1 - valueStart);
                    found.end = p + 1;
                } else {
                    ++p;
                    break;
                }
                position = nextTagBoundary(bytes, p);
                return found;
            }
            case ScanState::AfterOtherName:
                if (c == '<') {
                    position = p;
                    return {};
                }
                if (c == '=') {
                    noEquals = false;
                    ++p;
                } else if (isBlankOrControl(c)) {
                    ++p;
                } else if (isQuote(c)) {
                    closing = c;
                    noEquals = false;
                    state = ScanState::Skipping;
                    ++p;
                } else if (noEquals) {
                    noEquals = false;
                    state = ScanState::BetweenAttributes;
                } else {
                    closing = ' ';
                    state = ScanState::Skipping;
                    ++p;
                }
                break;
            case ScanState::Skipping:
                if (c == closing) {
                    state = ScanState::BetweenAttributes;
                }
                ++p;
                break;
        }
    }
}

}  // namespace

std::string GetAttrValue(const HtmlBuffer& buffer, std::string_view attribute,
                         std::size_t& position) {
    return scanAttribute(buffer, attribute, position, false).value;
}

AttrValuePosition GetAttrValuePos(const HtmlBuffer& buffer, std::string_view attribute,
                                  std::size_t& position) {
    return scanAttribute(buffer, attribute, position, true);
}

AttrValuePosition GetAttrValueRange(const HtmlBuffer& buffer, std::string_view attribute,
                                    std::size_t& position) {
    return scanAttribute(buffer, attribute, position, false);
}

}  // namespace quillharbor
