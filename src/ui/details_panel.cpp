#include "ui/details_panel.h"

#include <cmath>

namespace quillharbor {

namespace {

std::string limitText(const std::string& caption, std::int32_t limit) {
    return caption + (limit == 0 ? "infinity" : std::to_string(limit));
}

}  // namespace

DetailsLabels bareDetailsLabels() {
    return {"URL: ",      "Download from", "Files queued: ", "Files read: ",
            "Max files:", "Max levels:",   "Start after: "};
}

DetailsLabels detailsLabelsOf(const TTask& task) {
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const auto minutes = static_cast<long long>(
        std::nearbyint(static_cast<double>(task.StartCountdown) / kTicksPerMinute));
    return {"URL: " + task.URL,
            task.BoundaryPrefix.empty() ? "Download from anywhere"
                                        : "Download from " + task.BoundaryPrefix,
            "Files queued: " + std::to_string(task.Queued),
            "Files read: " + std::to_string(task.Total - task.Queued),
            limitText("Max files: ", task.MaxFiles),
            limitText("Max levels: ", task.MaxLevels),
            "Start after " + std::to_string(minutes) + " minutes"};
}

}  // namespace quillharbor
