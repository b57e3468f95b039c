// What the fuzz targets share. A target stops at the first broken property, so libFuzzer keeps
// the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The text before the first line feed and the text after it (empty when there is none).
inline std::pair<std::string_view, std::string_view> splitAtLineFeed(std::string_view input) {
    const std::size_t split = input.find('\n');
    if (split == std::string_view::npos) {
        return {input, {}};
    }
    return {input.substr(0, split), input.substr(split + 1)};
}

// A reader of a stream must tell the same story whatever pieces the bytes arrive in. The first
// byte picks a split point; the rest is fed whole, split in two there and one byte at a time to
// story(pieces), whose results must be equal.
template <class Story>
void checkSameStoryInAnyPieces(const std::uint8_t* data, std::size_t size, Story story) {
    if (size == 0) {
        return;
    }
    const std::string_view text = asText(data + 1, size - 1);
    const std::size_t split = data[0] % (text.size() + 1);
    std::vector<std::string_view> bytes;
    for (std::size_t at = 0; at < text.size(); ++at) bytes.push_back(text.substr(at, 1));
    const auto whole = story(std::vector{text});
    check(story(std::vector{text.substr(0, split), text.substr(split)}) == whole);
    check(story(bytes) == whole);
}
