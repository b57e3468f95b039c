#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace quillharbor {

// A host held back after it answered 429 or 503 with Retry-After, until a moment of the wall
// clock (seconds since 1970 UTC), so that the hold outlives the run: `list` shows it and the next
// run still waits.
struct HeldHost {
    std::string host;
    std::int64_t until = 0;
};

// The file HeldHosts.txt of the program directory: one "HOST UNTIL" line per host, CR LF.
// Writing no hosts removes the file; a missing file, or a line that cannot be read, holds none.
Status writeHeldHosts(const std::string& programDir, const std::vector<HeldHost>& hosts);
std::vector<HeldHost> readHeldHosts(const std::string& programDir);

}  // namespace quillharbor
