#include "cli/state_words.h"

namespace quillharbor {

std::string taskStateWords(TaskState state) {
    switch (state) {
        case TaskState::Running:
            return "running";
        case TaskState::Stopped:
            return "stopped";
        case TaskState::Aborted:
            return "aborted";
        case TaskState::RewritePending:
            return "finished, rewriting links";
        case TaskState::Finished:
            return "finished";
        case TaskState::Waiting:
            return "waiting";
    }
    return "state " + std::to_string(static_cast<int>(state));
}

std::string objectStateWords(ObjectState state) {
    switch (state) {
        case ObjectState::Queued:
            return "queued";
        case ObjectState::Retrieved:
        case ObjectState::Done:
            return "retrieved";
        case ObjectState::Retrieving:
            return "retrieving";
        case ObjectState::Failed:
            return "failed";
        case ObjectState::Incomplete:
            return "incomplete";
        case ObjectState::Removed:
            return "removed";
        case ObjectState::ProtocolError:
            return "protocol error";
        case ObjectState::RobotsRequest:
            return "robots.txt request";
        case ObjectState::Excluded:
            return "excluded by robots.txt";
        case ObjectState::RetrievedByOther:
            return "already retrieved by another task";
        case ObjectState::FtpError:
            return "FTP error";
    }
    return "state " + std::to_string(static_cast<int>(state));
}

bool objectFailed(const TDnObj& object) {
    switch (object.State) {
        case ObjectState::Failed:
        case ObjectState::Removed:
        case ObjectState::ProtocolError:
        case ObjectState::FtpError:
            return true;
        default:
            return false;
    }
}

bool objectSettled(const TDnObj& object) {
    switch (object.State) {
        case ObjectState::Queued:
        case ObjectState::Retrieving:
        case ObjectState::RobotsRequest:
            return false;
        default:
            return true;
    }
}

}  // namespace quillharbor
