#pragma once

#include <string>
#include <utility>

#include "engine/dial_up.h"

namespace quillharbor {

// The dial-up module loaded at run time: dial-up networking is the PPP daemon, and the module
// (libquillharbor-dialwatch.so) answers through its three entry points, which are kept until
// this object goes. Until LoadModule succeeds it answers as NullDialUp does.
class DialUpLibrary final : public DialUp {
public:
    static constexpr const char* kFileName = "libquillharbor-dialwatch.so";

    // path: the module's file, or a bare file name for the loader's search (the program's
    // run path, then the system's).
    explicit DialUpLibrary(std::string path = kFileName) : m_path(std::move(path)) {}
    ~DialUpLibrary() override;
    DialUpLibrary(const DialUpLibrary&) = delete;
    DialUpLibrary& operator=(const DialUpLibrary&) = delete;

    bool NetworkingPresent() override;
    bool LoadModule() override;
    bool IsRASInstalled() override;
    bool IsRASConnected() override;
    void Hangup() override;

private:
    using Question = unsigned char (*)();
    using Command = void (*)();

    std::string m_path;
    void* m_handle = nullptr;
    Question m_isRasInstalled = nullptr;
    Question m_isRasConnected = nullptr;
    Command m_hangup = nullptr;
};

}  // namespace quillharbor
