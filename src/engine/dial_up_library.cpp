#include "engine/dial_up_library.h"

#include <dlfcn.h>

#include "platform/ppp_daemon.h"

namespace quillharbor {

DialUpLibrary::~DialUpLibrary() {
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
    }
}

bool DialUpLibrary::NetworkingPresent() {
    return pppDaemonProgram().has_value();
}

bool DialUpLibrary::LoadModule() {
    if (m_handle != nullptr) {
        return true;
    }
    void* handle = ::dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return false;
    }
    // POSIX lets a data pointer from dlsym be converted to a function pointer.
    const auto isRasInstalled = reinterpret_cast<Question>(::dlsym(handle, "IsRASInstalled"));
    const auto isRasConnected = reinterpret_cast<Question>(::dlsym(handle, "IsRASConnected"));
    const auto hangup = reinterpret_cast<Command>(::dlsym(handle, "Hangup"));
    // A module without one of them is of no use: the feature stays off.
    if (isRasInstalled == nullptr || isRasConnected == nullptr || hangup == nullptr) {
        ::dlclose(handle);
        return false;
    }
    m_handle = handle;
    m_isRasInstalled = isRasInstalled;
    m_isRasConnected = isRasConnected;
    m_hangup = hangup;
    return true;
}

bool DialUpLibrary::IsRASInstalled() {
    return m_isRasInstalled != nullptr && m_isRasInstalled() != 0;
}

bool DialUpLibrary::IsRASConnected() {
    return m_isRasConnected != nullptr && m_isRasConnected() != 0;
}

void DialUpLibrary::Hangup() {
    if (m_hangup != nullptr) {
        m_hangup();
    }
}

}  // namespace quillharbor
