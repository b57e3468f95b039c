#include "cli/per_host_option.h"

namespace quillharbor {

CommandOption perHostOption(std::optional<int>& cap) {
    return CommandOption{"--per-host", true, [&cap](std::string_view value) -> Status {
                             Result<std::optional<int>> number =
                                 readBoundedNumber("--per-host", value, 1, 16, false);
                             if (!number) {
                                 return number.error();
                             }
                             cap = number.value();
                             return {};
                         }};
}

}  // namespace quillharbor
