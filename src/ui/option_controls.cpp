#include "ui/option_controls.h"

namespace quillharbor {

std::string extensionsOnOk(const std::string& text) {
    if (text.find('.') == std::string::npos) {
        return {};
    }
    return text + " ";
}

}  // namespace quillharbor
