#pragma once

namespace quillharbor {

// What the program tells its caller. Scripts rely on these numbers.
enum class ExitCode {
    Success = 0,        // every task the run drove finished and no object failed
    Failure = 1,        // objects failed or are incomplete (states 3, 4, 5, 7, 11), or a
                        // file could not be saved
    Usage = 2,          // bad usage, or a task that could not be created
    Interrupted = 130,  // stopped by SIGINT or SIGTERM; the tasks can be resumed
};

}  // namespace quillharbor
