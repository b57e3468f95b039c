#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace quillharbor {

// File helpers with the semantics the engine relies on. None of them throws; failures come back as
// an Error whose code is the errno value (ENOENT for a missing file, EEXIST for a taken name).
// They may be called from any thread.

// True when any entry (file, directory, even a dangling link) holds the name, so that a name
// reported free can really be created.
bool fileExists(const std::string& path);

// Size in bytes of the regular file at path (links followed); an error when it is missing or is
// not a regular file.
Result<std::uint64_t> fileSize(const std::string& path);

// Creates path and every missing parent. An existing directory is a success.
Status createDirectories(const std::string& path);

// Renames from to to, failing with EEXIST when to exists; never replaces anything.
Status renameNoReplace(const std::string& from, const std::string& to);

// Copies the contents of from into a new file to, failing with EEXIST when to exists. A copy that
// fails half-way removes what it wrote.
Status copyNoOverwrite(const std::string& from, const std::string& to);

Status deleteFile(const std::string& path);

// Names (without the directory) of the regular files "<name>.tsf" in directory, sorted byte-wise.
Result<std::vector<std::string>> listTaskFiles(const std::string& directory);

// Replaces the contents of path with bytes: writes a temporary file in the same directory, flushes
// it to disk and renames it over path. Readers see the old contents or the new, never a mixture,
// and a crash leaves at most a stray ".<name>.tmp-..." file beside it. An existing file keeps its
// permission bits; a new one gets 0666 less the umask.
Status replaceFileAtomically(const std::string& path, std::string_view bytes);

Result<std::string> readWholeFile(const std::string& path);

}  // namespace quillharbor
