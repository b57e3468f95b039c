#pragma once

#include <cstdint>

namespace quillharbor {

// Message numbers below WM_USER belong to the loop itself; components number theirs from it.
constexpr unsigned WM_USER = 1024;
// A timer tick: wParam is the timer id returned by MessageLoop::startTimer, lParam is 0.
constexpr unsigned WM_TIMER = 0x0113;

// Names a target registered with the loop, the way a window handle names a window.
// 0 is never a valid handle, so it can mean "none".
using Handle = std::uint32_t;

struct Message {
    unsigned number;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

}  // namespace quillharbor
