#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quillharbor {

// A document held for scanning, followed by the sentinel "<><". Every scanning loop of the link
// tokenizer and of the attribute scanner stops at a '<' or '>', so the sentinel bounds them all
// without length checks. The bytes are held in an allocation of exactly size() + 3 bytes, so a
// scan that overran the sentinel would be caught by AddressSanitizer.
class HtmlBuffer {
public:
    static constexpr std::string_view kSentinel = "<><";

    explicit HtmlBuffer(std::string_view document);

    // The document's length, sentinel excluded.
    std::size_t size() const { return m_size; }
    // The document's bytes followed by the sentinel (size() + 3 bytes).
    const char* data() const { return m_bytes.get(); }
    std::string_view document() const { return {m_bytes.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size;
};

}  // namespace quillharbor
