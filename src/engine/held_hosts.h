#pragma once

#include "engine/engine_context.h"

namespace quillharbor {

// Writes the hosts held back now into the program directory (storage/held_hosts_file.h), or
// removes the file when none is; returns whether that worked.
Status saveHeldHosts(EngineContext& context);
// Holds back again each host of that file whose hold is not over, for at most 10 minutes more.
void restoreHeldHosts(EngineContext& context);

}  // namespace quillharbor
