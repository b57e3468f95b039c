#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// How far the robots.txt handling of one host has come.
struct THostExcl {
    std::string Host;             // HostPart of a URL: scheme, host and port
    std::int32_t RobotsDone = 0;  // 0 asked for and not processed yet, 1 processed
};

}  // namespace quillharbor
