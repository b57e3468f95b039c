#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
// it to disk, renames it over path and flushes the directory. Readers see the old contents or the
// new, never a mixture, and a crash leaves at most a stray ".<name>.tmp-..." file beside it. An
// existing file keeps its permission bits; a new one gets 0666 less the umask.
Status replaceFileAtomically(const std::string& path, std::string_view bytes);

// A file replaced whole, as replaceFileAtomically does, with its new contents written as a stream
// through a 64 KiB buffer, so that no caller holds the whole text. Until commit the file keeps its
// old contents; dropped before commit, the replacement removes its temporary file. The first
// failure is kept and ends the writing; close and commit report it.
class FileReplacement {
public:
    explicit FileReplacement(std::string path);
    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&&) = delete;
    FileReplacement(const FileReplacement&) = delete;
    ~FileReplacement();

    void write(std::string_view bytes);
    // Writes out the buffer and closes the temporary file, flushed to disk when flush is set.
    Status close(bool flush);
    // Closes (flushed) if still open, renames the temporary over the file and flushes the
    // directory.
    Status commit();
    // Whether the new contents are in place under the file's name.
    bool committed() const { return m_committed; }

private:
    friend Status commitTogether(std::vector<FileReplacement>& replacements);
    friend void renameAll(std::vector<FileReplacement>& replacements);
    Status rename();
    Error fail(std::string_view action, int code);

    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
    bool m_committed = false;
    std::string m_buffer;
    std::optional<Error> m_error;
};

// Closes every replacement unflushed, flushes their file system once and then renames each over
// its file: many files replaced at the cost of one flush. A crash leaves every file whole, old or
// new. A large batch whose first renames wait on the file system is renamed from several
// threads at once; after a failure no further rename starts. Returns the first failure in the batch's order; the files not committed then keep their
// old contents.
Status commitTogether(std::vector<FileReplacement>& replacements);

Result<std::string> readWholeFile(const std::string& path);

// A file read from its start piece by piece, so that a file of hundreds of megabytes is never
// held whole. A file that cannot be opened reports so on the first read.
class FileReader {
public:
    explicit FileReader(std::string path);
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // Reads up to size bytes into into; 0 at the end of the file.
    Result<std::size_t> read(char* into, std::size_t size);

private:
    std::string m_path;
    int m_fd = -1;
    int m_openError = 0;
};

}  // namespace quillharbor
