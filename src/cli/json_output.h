#pragma once

#include <string>
#include <string_view>

#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// A JSON string literal: quotes, backslashes and control bytes escaped, other bytes as they are.
std::string jsonString(std::string_view text);

// One line of `get --json`: an object that settled, with its task, URL, state in words, status,
// file, bytes and, when it did not arrive whole, the reason.
std::string objectJson(const TDnObj& object);

// One task of `list --json`: its state, URL, folder, counters, boundary, limits and own options.
std::string taskJson(const TTask& task);

}  // namespace quillharbor
