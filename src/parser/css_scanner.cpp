#include "parser/css_scanner.h"

#include "parser/ascii.h"
#include "parser/utf8.h"

namespace quillharbor {

namespace {

bool isCssBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Letters, digits, "-", "_", an escape and every byte above 127 continue an identifier.
bool isIdentifierByte(char c) {
    return isAsciiAlnum(c) || c == '-' || c == '_' || c == '\\' ||
           static_cast<unsigned char>(c) >= 128;
}

bool startsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
    return text.size() - at >= word.size() &&
           equalsIgnoringAsciiCase(text.substr(at, word.size()), word);
}

// "\" + up to six hex digits (and one blank after them) is a code point, "\" + line break
// nothing, "\" + any other byte that byte.
std::string decodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t p = 0; p < text.size();) {
        if (text[p] != '\\' || p + 1 == text.size()) {
            out += text[p++];
            continue;
        }
        ++p;
        if (isHexDigit(text[p])) {
            unsigned long code = 0;
            const std::size_t digitsEnd = std::min(text.size(), p + 6);
            while (p < digitsEnd && isHexDigit(text[p])) {
                const char c = text[p++];
                code = code * 16 + static_cast<unsigned long>(
                                       isAsciiDigit(c) ? c - '0' : toLowerAscii(c) - 'a' + 10);
            }
            if (p < text.size() && isCssBlank(text[p])) {
                ++p;
            }
            AppendUtf8(out, static_cast<std::uint32_t>(code));
        } else if (text[p] == '\n' || text[p] == '\r' || text[p] == '\f') {
            ++p;
        } else {
            out += text[p++];
        }
    }
    return out;
}

std::string trimmedBlanks(std::string text) {
    const std::size_t first = text.find_first_not_of(" \t\n\r\f");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\n\r\f") + 1 - first);
}

class CssScanner {
public:
    explicit CssScanner(std::string_view css) : m_css(css) {}

    std::vector<CssReference> run() {
        while (m_p < m_css.size()) {
            const char c = m_css[m_p];
            if (c == '/' && at(m_p + 1) == '*') {
                skipComment();
            } else if (c == '"' || c == '\'') {
                skipString();
            } else if (c == '\\') {
                m_p += 2;
            } else if (c == '@' && startsWithIgnoringCase(m_css, m_p + 1, "import") &&
                       !isIdentifierByte(at(m_p + 7))) {
                onImport();
            } else if ((c == 'u' || c == 'U') && startsWithIgnoringCase(m_css, m_p, "url(") &&
                       (m_p == 0 || !isIdentifierByte(m_css[m_p - 1]))) {
                onUrl();
            } else {
                ++m_p;
            }
        }
        return std::move(m_found);
    }

private:
    char at(std::size_t p) const { return p < m_css.size() ? m_css[p] : '\0'; }

    void skipComment() {
        const std::size_t close = m_css.find("*/", m_p + 2);
        m_p = close == std::string_view::npos ? m_css.size() : close + 2;
    }

    void skipBlanksAndComments() {
        for (;;) {
            while (m_p < m_css.size() && isCssBlank(m_css[m_p])) {
                ++m_p;
            }
            if (at(m_p) != '/' || at(m_p + 1) != '*') {
                return;
            }
            skipComment();
        }
    }

    // From the opening quote at m_p to past the closing one; returns the end of the content.
    // A line break ends an unclosed string; an escaped one continues it.
    std::size_t skipString() {
        const char quote = m_css[m_p++];
        while (m_p < m_css.size()) {
            const char c = m_css[m_p];
            if (c == '\\') {
                m_p += 2;
            } else if (c == quote) {
                return m_p++;
            } else if (c == '\n') {
                return m_p;
            } else {
                ++m_p;
            }
        }
        m_p = m_css.size();
        return m_p;
    }

    void take(std::size_t begin, std::size_t end) {
        end = std::min(end, m_css.size());
        if (begin >= end) {
            return;
        }
        std::string url = trimmedBlanks(decodeEscapes(m_css.substr(begin, end - begin)));
        if (!url.empty()) {
            m_found.push_back({std::move(url), begin, end});
        }
    }

    void takeString() {
        const std::size_t begin = m_p + 1;
        const std::size_t end = skipString();
        take(begin, end);
    }

    void onImport() {
        m_p += 7;
        skipBlanksAndComments();
        if (at(m_p) == '"' || at(m_p) == '\'') {
            takeString();
        }
        // "@import url(...)" is found as a url( from here.
    }

    void onUrl() {
        m_p += 4;
        while (m_p < m_css.size() && isCssBlank(m_css[m_p])) {
            ++m_p;
        }
        if (at(m_p) == '"' || at(m_p) == '\'') {
            takeString();
            return;
        }
        const std::size_t begin = m_p;
        while (m_p < m_css.size() && m_css[m_p] != ')' && !isCssBlank(m_css[m_p])) {
            const char c = m_css[m_p];
            if (c == '"' || c == '\'' || c == '(') {
                skipBadUrl();
                return;
            }
            m_p = c == '\\' ? escapeEnd(m_p) : m_p + 1;
        }
        const std::size_t end = std::min(m_p, m_css.size());
        while (m_p < m_css.size() && isCssBlank(m_css[m_p])) {
            ++m_p;
        }
        if (at(m_p) != ')') {
            skipBadUrl();
            return;
        }
        take(begin, end);
    }

    // Past the escape at p: "\\" and one byte, or up to six hex digits and a blank after them.
    std::size_t escapeEnd(std::size_t p) const {
        ++p;
        if (!isHexDigit(at(p))) {
            return p + 1;
        }
        const std::size_t digitsEnd = p + 6;
        while (p < digitsEnd && isHexDigit(at(p))) {
            ++p;
        }
        return isCssBlank(at(p)) ? p + 1 : p;
    }

    // The rest of a bad url, through its ")".
    void skipBadUrl() {
        while (m_p < m_css.size() && m_css[m_p] != ')') {
            m_p += m_css[m_p] == '\\' ? 2 : 1;
        }
    }

    std::string_view m_css;
    std::size_t m_p = 0;
    std::vector<CssReference> m_found;
};

}  // namespace

std::vector<CssReference> FindCssReferences(std::string_view css) {
    return CssScanner(css).run();
}

std::vector<std::pair<std::size_t, std::size_t>> SrcsetUrlRanges(std::string_view value) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::size_t p = 0;
    while (p < value.size()) {
        while (p < value.size() && (isCssBlank(value[p]) || value[p] == ',')) {
            ++p;
        }
        const std::size_t begin = p;
        while (p < value.size() && !isCssBlank(value[p])) {
            ++p;
        }
        std::size_t end = p;
        const bool endsCandidate = end > begin && value[end - 1] == ',';
        while (end > begin && value[end - 1] == ',') {
            --end;
        }
        if (end > begin) {
            ranges.emplace_back(begin, end);
        }
        if (!endsCandidate) {
            // The descriptors, through the comma that ends the candidate.
            while (p < value.size() && value[p] != ',') {
                ++p;
            }
        }
    }
    return ranges;
}

}  // namespace quillharbor
