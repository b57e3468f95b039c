// Attribute scans from any start position. Input: one byte choosing the attribute name, two bytes
// of start position (taken modulo the buffer's length), then the document. A value found must be
// exactly the document bytes strictly between start and end, and the position must move forward
// and stay inside the buffer.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "parser/attribute_scanner.h"
#include "parser/html_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    if (size < 3) {
        return 0;
    }
    constexpr std::string_view kNames[] = {"href", "src", "lowsrc", "background", "x"};
    const std::string_view name = kNames[data[0] % std::size(kNames)];
    const std::size_t startSeed = data[1] | (data[2] << 8);
    const HtmlBuffer buffer(asText(data + 3, size - 3));
    const std::size_t length = buffer.size() + HtmlBuffer::kSentinel.size();
    const std::size_t start = startSeed % length;

    std::size_t position = start;
    const AttrValuePosition found = GetAttrValuePos(buffer, name, position);
    check(position >= start && position < length);
    if (!found.value.empty()) {
        check(found.start < found.end && found.end <= buffer.size());
        check(buffer.document().substr(found.start + 1, found.end - found.start - 1) ==
              found.value);
    }

    position = start;
    const std::string plain = GetAttrValue(buffer, name, position);
    check(position >= start && position < length);
    check(std::string_view(plain).starts_with(found.value));
    return 0;
}
