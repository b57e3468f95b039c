#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/download_queue.h"
#include "model/ftp_slot.h"
#include "model/host_excl_list.h"
#include "model/http_slot.h"
#include "model/robots_body_store.h"
#include "model/seen_list.h"
#include "model/task_list.h"
#include "model/transfer_slot_factory.h"
#include "model/wait_list.h"
#include "parser/robots_rules.h"
#include "platform/message.h"

namespace quillharbor {

// The engine's whole state, one instance, touched on the loop's thread only.
//
// Members are declared in an order that makes destruction safe: the slots go first (a busy slot
// still finishes its object), then the queue, the seen list and the wait list unlink their
// objects, then the tasks free them.
struct EngineState {
    EngineState() = default;
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    quillharbor::TaskList TaskList;
    quillharbor::HostExclList HostExclList;
    DownloadQueue Queue;
    quillharbor::SeenList SeenList;
    quillharbor::WaitList WaitList;
    // Absolute URL prefixes that robots.txt files disallow, for all hosts together.
    quillharbor::DisallowList DisallowList;
    // robots.txt bodies posted by the HTTP slots and not taken yet.
    RobotsBodyStore RobotsBodies;
    // The bytes of saved pages on their way from an HTTP slot to their link scan, by the
    // object's identity: the scan takes them instead of reading the file back. Each entry goes
    // when its ScanLinks arrives, whether or not the page is scanned then.
    std::unordered_map<std::uintptr_t, std::string> PagesToScan;

    std::int64_t BytesWindow = 0;  // received since the last statistics step
    std::int64_t BytesTotal = 0;   // received since start-up
    bool StopAllPending = false;

    // Dial-up watching, never both true; both false when dial-up control is off. RasWatching:
    // the feature is usable and no connection has been seen up since it last went down.
    // RasConnected: a connection has been seen up.
    bool RasWatching = false;
    bool RasConnected = false;

    // Copies of the settings of the same names, refreshed whenever the settings are applied.
    bool AlwaysRetrieve = false;
    bool ForceFTPRetrieve = false;
    bool RetryOnFails = false;
    bool ObeyRobots = false;  // ObeyRobotExclusion
    bool SaveSeparate = false;
    bool Https = false;  // HTTPS
    bool VerifyCertificates = false;
    bool KeepAlive = false;
    std::string DefaultFtpUser;
    std::string DefaultFtpPassword;

    std::string AgentText;
    Handle MainWindow = 0;  // the engine's handle: where every component posts its reports

    std::vector<std::unique_ptr<HttpSlot>> HttpSlots;
    std::vector<std::unique_ptr<FtpSlot>> FtpSlots;

    // Fills both slot arrays from factory, each slot told its index; a factory that makes no
    // slot of a kind leaves that array empty. Without a factory both stay empty.
    void CreateSlots(TransferSlotFactory* factory, int httpCount, int ftpCount);
    // Destroys every slot (busy ones abort first) and empties both arrays.
    void FreeSlots();
};

}  // namespace quillharbor
