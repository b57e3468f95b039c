#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// The range of a spin edit; values given to a form are kept inside it.
struct SpinRange {
    int min;
    int max;
    int clamp(int value) const { return value < min ? min : (value > max ? max : value); }
};

// The option dialogs show a level limit as the links away from the starting doc (MaxLevels - 1)
// and store the shown value + 1.
inline int levelsShown(std::int32_t maxLevels) {
    return maxLevels - 1;
}
inline std::uint16_t levelsStored(int shown) {
    return static_cast<std::uint16_t>(shown + 1);
}

// An extensions text as OK stores it: one without a dot is dropped, any other gets one blank
// appended (" .gif .jpg " is how the link rules read it).
std::string extensionsOnOk(const std::string& text);

}  // namespace quillharbor
