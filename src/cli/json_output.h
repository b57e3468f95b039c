#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// A JSON string literal: quotes, backslashes and control bytes escaped, other bytes as they are.
std::string jsonString(std::string_view text);

// One line of `get --json`: an object that settled, with its task, URL, state in words, status,
// file, bytes and, when it did not arrive whole, the reason.
std::string objectJson(const TDnObj& object);

// A host a task's queued objects wait for, with the seconds its hold has left.
struct HeldBack {
    std::string host;
    std::int64_t seconds = 0;
};

// One task of `list --json`: its state, URL, folder, counters, boundary, limits and own options,
// and when it has any, the hosts it waits for ("heldBack": [{"host": ..., "seconds": ...}]).
std::string taskJson(const TTask& task, const std::vector<HeldBack>& heldBack = {});

}  // namespace quillharbor
