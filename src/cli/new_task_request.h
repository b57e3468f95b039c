#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cli/verbosity.h"
#include "engine/new_task_params.h"
#include "platform/result.h"

namespace quillharbor {

// What `get` was asked for: the URL as typed and the fields the user set; every field left unset
// keeps what PrepareNewTaskParams filled in from the Default settings.
struct NewTaskRequest {
    std::string url;
    std::optional<std::string> name;
    std::optional<std::string> startingDoc;
    std::optional<bool> trySlashes;
    std::optional<bool> rewriteLinks;
    std::optional<std::uint16_t> startAfter;  // minutes, 0 at once
    std::optional<std::uint8_t> downloadFrom;
    std::optional<std::string> boundary;  // replaces the one download-from gives
    bool levelsSet = false;
    std::optional<std::uint16_t> linksAway;  // with levelsSet: nothing means infinity
    bool filesSet = false;
    std::optional<std::uint16_t> maxFiles;  // with filesSet: nothing means infinity
    std::optional<std::string> extensions;  // as stored in the task
    std::optional<bool> followFtp;
    std::optional<bool> insecure;  // https certificates are not verified for this task
    std::optional<bool> pageRequisites;
    std::optional<bool> siteLayout;  // --layout site, or flat
    std::optional<std::string> ftpUser;
    std::optional<std::string> ftpPassword;
    std::optional<Verbosity> verbosity;
    std::optional<std::string> directory;  // -P: the task's own folder, absolute
    GrabOptions grab;
    bool json = false;           // one JSON object per settled object on standard output
    bool fast = false;           // --fast: this run dispatches at once (CliSession::dispatchFast)
    std::optional<int> perHost;  // --per-host: this run's cap per host (CliSession::capPerHost)
    bool keepAlive = false;      // --keep-alive: this run keeps connections (keepConnections)
};

// Bytes per second from "200k", "1.5M" or "5000" (k and M count 1024 and 1024 * 1024).
Result<std::int64_t> readRate(std::string_view text);

// Reads `get URL [options]`. An error is a usage mistake, worded for the user.
Result<NewTaskRequest> readNewTaskRequest(std::span<const std::string> arguments);

// The options of `get`, for its help.
extern const char* const kNewTaskOptionsHelp;

// The URL cleaned as a typed one is, or why it cannot start a task. A URL that names a host but
// no path gets "/", so that its directory (and so its boundary) is the host's root.
Result<std::string> cleanStartingUrl(std::string url);

// Fills params as the New Task dialog's OK does: params were prepared from the defaults; the
// request's URL (cleaned) and fields go in, the boundary follows the download-from choice unless
// one was given, extensions and levels are stored as the dialog stores them.
void applyNewTaskRequest(const NewTaskRequest& request, const std::string& cleanUrl,
                         NewTaskParams& params);

}  // namespace quillharbor
