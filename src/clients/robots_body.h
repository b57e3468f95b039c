#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillharbor {

// The body of a robots.txt request travels to the engine in the wParam of RobotsAnswer
// (WM_USER+140) as an owned string; 0 means no usable body. Whoever receives the message adopts
// the body and so frees it, even when the request's object is gone by then.

// Hands the body over to a message parameter; the caller must post it, or adopt it back when
// the post fails.
inline std::uintptr_t releaseRobotsBody(std::unique_ptr<std::string> body) {
    return reinterpret_cast<std::uintptr_t>(body.release());
}

// Takes ownership of the body a RobotsAnswer message carries; nullptr for 0.
inline std::unique_ptr<std::string> adoptRobotsBody(std::uintptr_t parameter) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(parameter));
}

}  // namespace quillharbor
