#include "parser/html_buffer.h"

#include <algorithm>

namespace quillharbor {

HtmlBuffer::HtmlBuffer(std::string_view document)
    : m_bytes(std::make_unique_for_overwrite<char[]>(document.size() + kSentinel.size())),
      m_size(document.size()) {
    std::ranges::copy(document, m_bytes.get());
    std::ranges::copy(kSentinel, m_bytes.get() + m_size);
}

}  // namespace quillharbor
