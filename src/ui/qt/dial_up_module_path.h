#pragma once

#include <string>

namespace quillharbor {

// Where the desktop program's dial-up module lies: beside the program in the build tree
// (dialwatch/), or in the installed library folder (lib/.../quillharbor/). The path is made from
// the program's own file rather than left to the loader's run path, which a sanitizer's dlopen
// does not consult. The bare file name when neither holds it: the loader's search decides.
std::string dialUpModulePath();

}  // namespace quillharbor
