#include "cli/state_words.h"

#include "cli/status_reason.h"
#include "model/failure_cause.h"

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
        case ObjectState::Incomplete:
        case ObjectState::Failed:
        case ObjectState::Removed:
        case ObjectState::ProtocolError:
        case ObjectState::FtpError:
            return true;
        default:
            return false;
    }
}

bool objectArrived(const TDnObj& object) {
    switch (object.State) {
        case ObjectState::Retrieved:
        case ObjectState::Done:
        case ObjectState::RetrievedByOther:
            return true;
        default:
            return false;
    }
}

std::string failureWords(const TDnObj& object) {
    if (object.State == ObjectState::Incomplete) {
        std::string words = "incomplete (" + std::to_string(object.Received);
        if (object.Size > 0) {
            words += " of " + std::to_string(object.Size);
        }
        return words + " bytes)";
    }
    const std::string code = std::to_string(object.Status);
    const std::string reason = object.Cause != kCauseNone ? causeWords(object.Cause)
                               : object.State == ObjectState::FtpError
                                   ? ftpReplyReason(object.Status)
                                   : statusReason(object.Status);
    return reason.empty() ? code : code + " " + reason;
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
