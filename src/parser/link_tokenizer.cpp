#include "parser/link_tokenizer.h"

#include <array>
#include <string>

#include "parser/ascii.h"

namespace quillharbor {

namespace {

// A tag name this long or longer is no name at all.
constexpr std::size_t kTagNameLimit = 15;

enum class Mode { Text, Tag, Skip, Done };

struct LinkTag {
    std::string_view name;
    LinkAttributeRole role;
    std::array<std::string_view, 3> attributes;  // unused places stay empty
};

constexpr LinkTag kLinkTags[] = {
    {"a", LinkAttributeRole::Link, {"href"}},
    {"area", LinkAttributeRole::Link, {"href"}},
    {"base", LinkAttributeRole::Base, {"href"}},
    {"body", LinkAttributeRole::Link, {"background"}},
    {"embed", LinkAttributeRole::Link, {"src"}},
    {"frame", LinkAttributeRole::Link, {"src"}},
    {"iframe", LinkAttributeRole::Link, {"src"}},
    {"img", LinkAttributeRole::Link, {"src", "lowsrc", "dynsrc"}},
    {"input", LinkAttributeRole::Link, {"src"}},
    {"script", LinkAttributeRole::Link, {"src"}},
    {"table", LinkAttributeRole::Link, {"background"}},
    {"td", LinkAttributeRole::Link, {"background"}},
    {"th", LinkAttributeRole::Link, {"background"}},
};

// The run of bytes of code 65 and above from p: letters and the punctuation above them. Digits,
// blanks, '<', '>' and '/' end it, so the sentinel ends it too.
std::string_view nameRun(const char* bytes, std::size_t p) {
    std::size_t end = p;
    while (static_cast<unsigned char>(bytes[end]) >= 65) {
        ++end;
    }
    return {bytes + p, end - p};
}

std::size_t nextLessThan(const char* bytes, std::size_t p) {
    while (bytes[p] != '<') {
        ++p;
    }
    return p;
}

class Tokenizer {
public:
    Tokenizer(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit)
        : m_bytes(buffer.data()), m_size(buffer.size()), m_visit(visit) {}

    void run() {
        while (m_mode != Mode::Done) {
            switch (m_mode) {
                case Mode::Text:
                    onText();
                    break;
                case Mode::Tag:
                    onTag();
                    break;
                case Mode::Skip:
                    onSkip();
                    break;
                case Mode::Done:
                    break;
            }
        }
    }

private:
    // Moves past the next '<'; false (and done) when it is too close to the end to start a tag.
    bool enterMarkup() {
        m_p = nextLessThan(m_bytes, m_p);
        if (m_p + 2 > m_size) {
            m_mode = Mode::Done;
            return false;
        }
        ++m_p;
        return true;
    }

    void onText() {
        if (!enterMarkup()) {
            return;
        }
        if (m_bytes[m_p] == '/') {
            const std::string_view name = nameRun(m_bytes, ++m_p);
            if (name.size() < kTagNameLimit) {
                if (equalsIgnoringAsciiCase(name, "script")) {
                    m_inScript = false;
                    m_inNoscript = false;
                } else if (equalsIgnoringAsciiCase(name, "noscript")) {
                    m_inNoscript = false;
                }
            }
            m_p += name.size();
        } else if (m_bytes[m_p] == '!') {
            // A comment or declaration ends at its first '>', whatever comes before it.
            while (m_bytes[m_p] != '>' && m_p + 2 < m_size) {
                ++m_p;
            }
        } else {
            m_mode = Mode::Tag;
        }
    }

    void onTag() {
        const std::string_view run = nameRun(m_bytes, m_p);
        std::size_t length = 0;
        if (run.size() < kTagNameLimit) {
            for (char c : run) {
                m_name[length++] = toLowerAscii(c);
            }
        }
        const std::string_view name(m_name.data(), length);
        m_mode = Mode::Text;
        if (m_inScript && !m_inNoscript) {
            // Script text yields no links; the next '<' is searched from inside this name.
            m_inNoscript = name == "noscript";
            return;
        }
        m_p += run.size();
        m_lastTag = name;
        if (name == "comment" || name == "plaintext") {
            m_mode = Mode::Skip;
            return;
        }
        if (name == "script") {
            m_inScript = true;
            m_inNoscript = false;
        }
        for (const LinkTag& tag : kLinkTags) {
            if (tag.name == name) {
                visitAttributes(tag);
                return;
            }
        }
    }

    void visitAttributes(const LinkTag& tag) {
        const std::size_t nameEnd = m_p;
        for (std::string_view attribute : tag.attributes) {
            if (attribute.empty()) {
                break;
            }
            // Each scan starts at the end of the tag name; the last one places the walk.
            std::size_t position = nameEnd;
            m_visit(attribute, tag.role, position);
            m_p = position;
        }
    }

    // Inside "comment" or "plaintext": only the closing tag of the same name ends the section.
    void onSkip() {
        if (!enterMarkup()) {
            return;
        }
        if (m_bytes[m_p] != '/') {
            return;
        }
        const std::string_view name = nameRun(m_bytes, ++m_p);
        if (name.size() < kTagNameLimit && equalsIgnoringAsciiCase(name, m_lastTag)) {
            m_mode = Mode::Text;
        }
        m_p += name.size();
    }

    const char* m_bytes;
    std::size_t m_size;
    const LinkAttributeVisitor& m_visit;
    Mode m_mode = Mode::Text;
    std::size_t m_p = 0;
    bool m_inScript = false;
    bool m_inNoscript = false;
    std::array<char, kTagNameLimit> m_name{};
    std::string m_lastTag;
};

}  // namespace

void forEachLinkAttribute(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit) {
    Tokenizer(buffer, visit).run();
}

}  // namespace quillharbor
