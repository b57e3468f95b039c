#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "parser/html_buffer.h"

namespace quillharbor {

// An attribute value with its place in the buffer, for rewriting it in place. The rewriter keeps
// the bytes through start and resumes at end: start is the opening quote of a quoted value or
// the byte before an unquoted one; end is the closing quote or blank, or the '>' or '#' that
// follows the value's last byte.
struct AttrValuePosition {
    std::string value;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t nameStart = 0;  // the first byte of the attribute's name
};

// Scans one tag's attributes for the one named attribute (ASCII case ignored) and returns its
// value, empty when the tag has none. position goes in as the first byte after the tag name and
// comes out at the '>' that ends the tag, or at a '<' that cuts it short, where the tokenizer
// resumes. The scan never leaves the tag: a '>' ends it even inside quotes. An unquoted value
// ends at a blank (not a tab or line break) or at the end of the tag, and a value is taken even
// without an equals sign between name and value. A position outside the buffer yields nothing.
std::string GetAttrValue(const HtmlBuffer& buffer, std::string_view attribute,
                         std::size_t& position);

// GetAttrValue that also reports where the value lies; an unquoted or quoted value also ends
// before a "#", so that a fragment stays behind a replaced link.
AttrValuePosition GetAttrValuePos(const HtmlBuffer& buffer, std::string_view attribute,
                                  std::size_t& position);

// GetAttrValuePos for a value that holds several links or CSS text, where a "#" ends nothing.
AttrValuePosition GetAttrValueRange(const HtmlBuffer& buffer, std::string_view attribute,
                                    std::size_t& position);

}  // namespace quillharbor
