#include "ui/object_row.h"

#include <algorithm>
#include <cmath>

namespace quillharbor {

namespace {

constexpr int kProgressSteps = 7;
constexpr std::int32_t kNotFound = 404;

std::string sizeText(std::int64_t size) {
    return size < 1 ? "?" : std::to_string(size);
}

}  // namespace

std::optional<ObjectListPage> pageOfObject(const TDnObj& object) {
    switch (object.State) {
        case ObjectState::RobotsRequest:
            return std::nullopt;
        case ObjectState::Queued:
            return ObjectListPage::Queued;
        case ObjectState::Retrieving:
            return ObjectListPage::BeingRetrieved;
        default:
            return ObjectListPage::Saved;
    }
}

std::vector<std::string> objectColumnCaptions(ObjectListPage page) {
    switch (page) {
        case ObjectListPage::Saved:
            return {"File Name", "URL", "Size"};
        case ObjectListPage::BeingRetrieved:
            return {"URL", "File Name", "Bytes read", "Bytes total"};
        case ObjectListPage::Queued:
            break;
    }
    return {"URL", "Bytes read", "Bytes total"};
}

std::string objectRowCaption(ObjectListPage page, const TDnObj& object) {
    if (page != ObjectListPage::Saved) {
        return object.URL;
    }
    return object.LocalName.empty() ? "Removed from queue" : object.LocalName;
}

std::vector<std::string> objectRowCells(ObjectListPage page, const TDnObj& object) {
    const std::string received = std::to_string(object.Received);
    switch (page) {
        case ObjectListPage::Saved:
            return {objectRowCaption(page, object), object.URL, received};
        case ObjectListPage::BeingRetrieved:
            return {object.URL, object.LocalName, received, sizeText(object.Size)};
        case ObjectListPage::Queued:
            break;
    }
    return {object.URL, received, sizeText(object.Size)};
}

int objectStatusImage(const TDnObj& object) {
    switch (object.State) {
        case ObjectState::Queued:
            return object.Received != 0 ? 7 : 5;
        case ObjectState::Retrieved:
        case ObjectState::Done:
            return 0;
        case ObjectState::Retrieving: {
            if (object.Size < 1) {
                return 0;
            }
            // Rounded to nearest, ties to even: 3.5 steps show 4.
            const double steps = static_cast<double>(object.Received) /
                                 static_cast<double>(object.Size) * kProgressSteps;
            return std::clamp(static_cast<int>(std::nearbyint(steps)), 0, kProgressSteps);
        }
        case ObjectState::Failed:
        case ObjectState::FtpError:
            return 1;
        case ObjectState::Incomplete:
            return 4;
        case ObjectState::Removed:
            return 6;
        case ObjectState::ProtocolError:
            return object.Status == kNotFound ? 2 : 1;
        case ObjectState::Excluded:
            return 3;
        case ObjectState::RetrievedByOther:
            return 14;
        case ObjectState::RobotsRequest:
            break;
    }
    return -1;
}

}  // namespace quillharbor
