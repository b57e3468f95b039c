#pragma once

#include <array>
#include <string>

#include "model/task.h"

namespace quillharbor {

// The seven labels of the details panel, top to bottom: URL, download from, files queued, files
// read, max files, max levels, start after.
using DetailsLabels = std::array<std::string, 7>;

// The captions shown while no single task is selected.
DetailsLabels bareDetailsLabels();

// The labels for one task. The start delay is shown in whole minutes, rounded to the nearest
// (ties to even: 750 ticks are 2.5 minutes and show 2).
DetailsLabels detailsLabelsOf(const TTask& task);

}  // namespace quillharbor
