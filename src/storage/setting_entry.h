#pragma once

#include <string>

namespace quillharbor {

// One setting as text, as the configuration file holds it.
struct SettingEntry {
    std::string section;  // "General" or "Default"
    std::string key;
    std::string value;
    bool secret = false;  // a password that front ends should not show
};

}  // namespace quillharbor
