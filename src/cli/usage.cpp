#include "cli/usage.h"

#include <iostream>

namespace quillharbor {

void printError(std::string_view problem) {
    std::cerr << kProgram << ": " << problem << '\n';
}

ExitCode usageError(std::string_view problem, std::string_view command) {
    printError(problem);
    std::cerr << "Try '" << kProgram << ' ';
    if (!command.empty()) {
        std::cerr << command << ' ';
    }
    std::cerr << "--help'.\n";
    return ExitCode::Usage;
}

}  // namespace quillharbor
