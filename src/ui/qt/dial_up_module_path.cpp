#include "ui/qt/dial_up_module_path.h"

#include <filesystem>
#include <system_error>

#include "engine/dial_up_library.h"

namespace quillharbor {

std::string dialUpModulePath() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return DialUpLibrary::kFileName;
    }
    for (const char* folder : {"dialwatch", QUILLHARBOR_INSTALLED_MODULE_DIR}) {
        const fs::path module = program.parent_path() / folder / DialUpLibrary::kFileName;
        if (fs::is_regular_file(module, error)) {
            return module.string();
        }
    }
    return DialUpLibrary::kFileName;
}

}  // namespace quillharbor
