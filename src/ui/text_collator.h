#pragma once

#include <string>

namespace quillharbor {

// The user's locale order of texts, for the lists sorted by caption.
class TextCollator {
public:
    virtual ~TextCollator() = default;
    // Negative, zero or positive as a sorts before, with or after b.
    virtual int compare(const std::string& a, const std::string& b) const = 0;
};

// Byte order, for runs with no locale of their own.
class ByteCollator final : public TextCollator {
public:
    int compare(const std::string& a, const std::string& b) const override { return a.compare(b); }
};

}  // namespace quillharbor
