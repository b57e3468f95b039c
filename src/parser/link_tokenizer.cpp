#include "parser/link_tokenizer.h"

#include <array>
#include <string>

#include "parser/ascii.h"
#include "parser/attribute_scanner.h"

namespace quillharbor {

namespace {

// A tag name this long or longer is no name at all.
constexpr std::size_t kTagNameLimit = 15;

enum class Mode { Text, Tag, Skip, Done };

struct LinkAttribute {
    std::string_view name;
    LinkAttributeRole role = LinkAttributeRole::Link;
};

struct LinkTag {
    std::string_view name;
    std::array<LinkAttribute, 3> attributes;  // unused places stay empty
};

constexpr auto kLink = LinkAttributeRole::Link;
constexpr auto kRequisite = LinkAttributeRole::Requisite;
constexpr auto kSrcset = LinkAttributeRole::Srcset;

constexpr LinkTag kLinkTags[] = {
    {"a", {{{"href", kLink}}}},
    {"area", {{{"href", kLink}}}},
    {"base", {{{"href", LinkAttributeRole::Base}}}},
    {"body", {{{"background", kRequisite}}}},
    {"embed", {{{"src", kRequisite}}}},
    {"frame", {{{"src", kLink}}}},
    {"iframe", {{{"src", kLink}}}},
    {"img", {{{"src", kRequisite}, {"lowsrc", kRequisite}, {"dynsrc", kRequisite}}}},
    {"input", {{{"src", kRequisite}}}},
    {"script", {{{"src", kRequisite}}}},
    {"table", {{{"background", kRequisite}}}},
    {"td", {{{"background", kRequisite}}}},
    {"th", {{{"background", kRequisite}}}},
};

// What a page needs besides the table's links; "link" is looked at by its rel.
constexpr LinkTag kRequisiteTags[] = {
    {"img", {{{"srcset", kSrcset}}}},
    {"object", {{{"data", kRequisite}}}},
    {"source", {{{"src", kRequisite}, {"srcset", kSrcset}}}},
    {"video", {{{"poster", kRequisite}}}},
};

// The rel keywords whose "link" href a page needs ("shortcut icon" holds "icon").
bool relNamesRequisite(std::string_view rel) {
    constexpr std::string_view kKeywords[] = {"stylesheet", "icon", "preload", "modulepreload",
                                              "manifest"};
    std::size_t p = 0;
    while (p < rel.size()) {
        while (p < rel.size() && isBlankOrControl(rel[p])) {
            ++p;
        }
        std::size_t end = p;
        while (end < rel.size() && !isBlankOrControl(rel[end])) {
            ++end;
        }
        for (std::string_view keyword : kKeywords) {
            if (equalsIgnoringAsciiCase(rel.substr(p, end - p), keyword)) {
                return true;
            }
        }
        p = end;
    }
    return false;
}

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
    Tokenizer(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit,
              const StyleTextVisitor* visitStyle)
        : m_buffer(buffer),
          m_bytes(buffer.data()),
          m_size(buffer.size()),
          m_visit(visit),
          m_visitStyle(visitStyle) {}

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
        const std::size_t nameEnd = m_p;
        visitAttributes(kLinkTags, name, nameEnd);
        if (m_visitStyle == nullptr) {
            return;
        }
        visitAttributes(kRequisiteTags, name, nameEnd);
        if (name == "link") {
            visitStylesheetLink(nameEnd);
        }
        visitAttribute({"style", LinkAttributeRole::Style}, nameEnd);
        if (name == "style") {
            visitStyleText();
        }
    }

    template <std::size_t N>
    void visitAttributes(const LinkTag (&table)[N], std::string_view name, std::size_t nameEnd) {
        for (const LinkTag& tag : table) {
            if (tag.name != name) {
                continue;
            }
            for (const LinkAttribute& attribute : tag.attributes) {
                if (attribute.name.empty()) {
                    break;
                }
                visitAttribute(attribute, nameEnd);
            }
            return;
        }
    }

    // Each scan starts at the end of the tag name; the last one places the walk.
    void visitAttribute(const LinkAttribute& attribute, std::size_t nameEnd) {
        std::size_t position = nameEnd;
        m_visit(attribute.name, attribute.role, position);
        m_p = position;
    }

    void visitStylesheetLink(std::size_t nameEnd) {
        std::size_t position = nameEnd;
        if (relNamesRequisite(GetAttrValue(m_buffer, "rel", position))) {
            visitAttribute({"href", kRequisite}, nameEnd);
        } else {
            m_p = position;
        }
    }

    // From past the tag's '>' to the next "</style", which the walk then reads as a closing tag.
    void visitStyleText() {
        // A tag cut by the end of the document stops on the sentinel's '>', past its last byte.
        if (m_p >= m_size || m_bytes[m_p] != '>') {
            return;
        }
        const std::size_t begin = m_p + 1;
        std::size_t p = begin;
        for (;;) {
            p = nextLessThan(m_bytes, p);
            if (p >= m_size || (m_bytes[p + 1] == '/' &&
                                equalsIgnoringAsciiCase(nameRun(m_bytes, p + 2), "style"))) {
                break;
            }
            ++p;
        }
        p = std::min(p, m_size);
        (*m_visitStyle)(begin, p);
        m_p = p;
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

    const HtmlBuffer& m_buffer;
    const char* m_bytes;
    std::size_t m_size;
    const LinkAttributeVisitor& m_visit;
    const StyleTextVisitor* m_visitStyle;  // null: links only
    Mode m_mode = Mode::Text;
    std::size_t m_p = 0;
    bool m_inScript = false;
    bool m_inNoscript = false;
    std::array<char, kTagNameLimit> m_name{};
    std::string m_lastTag;
};

}  // namespace

void forEachLinkAttribute(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit) {
    Tokenizer(buffer, visit, nullptr).run();
}

void forEachLinkAndRequisite(const HtmlBuffer& buffer, const LinkAttributeVisitor& visit,
                             const StyleTextVisitor& visitStyle) {
    Tokenizer(buffer, visit, &visitStyle).run();
}

}  // namespace quillharbor
