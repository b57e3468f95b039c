#pragma once

namespace quillharbor {

// How much a run prints besides errors.
enum class Verbosity {
    Quiet,    // nothing but errors and the final list of failed objects
    Normal,   // progress and the engine's notifications
    Verbose,  // also every object as it completes, with its state
};

}  // namespace quillharbor
