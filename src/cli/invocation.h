#pragma once

#include <string>
#include <vector>

#include "cli/verbosity.h"

namespace quillharbor {

// One call of the program: the global options, then a command with its own arguments.
struct Invocation {
    std::string programDir;  // absolute, ending with "/"
    std::string command;
    std::vector<std::string> arguments;
    Verbosity verbosity = Verbosity::Normal;
    bool verbosityGiven = false;  // by -q or -v, which a command's own must not contradict
    int terminalFd = -1;          // standard output's descriptor when it is a terminal
    // Standard output carries JSON only; the report goes to standard error.
    bool json = false;
};

}  // namespace quillharbor
