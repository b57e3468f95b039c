#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "clients/read_hold.h"
#include "model/engine_message.h"
#include "model/engine_state.h"
#include "model/http_slot.h"
#include "model/transfer_slot_factory.h"
#include "net/ftp_local_file.h"
#include "net/http_cli.h"
#include "platform/message_loop.h"

namespace quillharbor {

// One HTTP download slot: serves one object at a time with a GET of its own THttpCli, streams the
// body into the object's file in the task directory (a robots.txt request's body into memory),
// names the file, resumes a partial file with a byte range, settles the object's state when the
// request ends and reports every step by posting the engine's messages to the main window:
//
//   130 ObjectStarted     request started                          object, 0
//   131 ObjectReceiving   the body begins                          object, 0
//   142 ObjectProgress    a block of the body was written          object, 0
//   129 ObjectDone        the document came whole                  object, Received
//   139 TransferAborted   the connection ended before Size bytes   object, 0
//   138 ScanLinks         the whole saved document is to be        object, 0
//                         scanned (a cut one never is)
//   136 NetworkError      ended below status 400 without a body,   object, 0 or the socket error
//                         or put back into the queue (retry)
//   137 HttpError         status 400 and above, 800, 801           object, status code
//   140 RobotsAnswer      a robots.txt request ended               ticket of the body in the
//                                                                  state's RobotsBodies or 0,
//                                                                  object
//   134 TaskEnded         the object's task has nothing queued     task, 0
//   149 HostHeld          429 or 503 with Retry-After: the object  object, status code
//                         is queued again, its host held back
//   422 AdmitObjects      the slot is free again (always the last  0, 0
//                         report of a request)
//
// A task's own options (TTask::Grab) replace the configured user agent and proxy for its
// requests, and its byte rate holds the reads of its transfers (ReadHold) as their bytes come.
//
// Objects and tasks travel as identities. An automatic retry after a socket error (RetryOnFails,
// once per object) puts the object back at the tail of the queue.
//
// Files: a fresh document is written from offset 0 under the name its object holds, or when
// another object holds that too under a name of its URL (the starting document under the task's
// StartDocName) that no other object holds (local_name_claim.h); then a redirect renames it after
// its target and an HTML document without a fitting extension gets ".html". A partial file
// (Received > 0) is continued only from a range that begins where it ends; a whole document
// answering the range request starts the file again, and an error page or a range from elsewhere
// leaves it exactly as it was. A robots.txt body is kept up to 512 KiB; the rest is dropped. A file
// that cannot be created or written aborts the request (status 801).
//
// Threads: the loop's thread only; all work happens in the component's events. Never blocks.
class THLHTTPClient final : public HttpSlot {
public:
    static constexpr std::size_t kRobotsBodyLimit = 512 * 1024;

    // context.State must outlive the slot. transport replaces the control socket (tests).
    THLHTTPClient(MessageLoop& loop, int slotIndex, const SlotContext& context,
                  std::unique_ptr<HttpTransport> transport = nullptr);
    // A busy request is aborted, then Finish settles its object.
    ~THLHTTPClient() override;
    THLHTTPClient(const THLHTTPClient&) = delete;
    THLHTTPClient& operator=(const THLHTTPClient&) = delete;

    // Requires ready(). The object has left the queue for the seen list.
    void Start(TDnObj& object) override;
    // No request runs and the last one has been reported done, so that a late completion can
    // never be taken for the next object's.
    bool ready() const override;
    TDnObj* Obj() const override { return m_obj; }
    // Settles an object whose request ended without a complete document (also the end of every
    // failed or aborted request); nothing without an object.
    void Finish() override;
    // Aborts the request; OnRequestDone then settles the object with status 801.
    void abort() override;
    void abandon() override;
    void setProxy(const HttpProxySettings& proxy) override;
    std::string_view keptHost() const override;

    int SlotIndex() const { return m_slotIndex; }

private:
    void OnDocBegin();
    void OnDocData(const char* data, std::size_t length);
    void OnDocEnd();
    void OnRequestDone();
    void OnLocationChange();

    // Opens the file a body is written to; false when the body is not to be written.
    bool openForResume(TDnObj& object);
    bool openFresh(TDnObj& object);
    // The file could not be created or written (errno error): the request is aborted.
    void fileFailed(TDnObj& object, int error);
    void robotsDocEnd(TDnObj& object);
    // The redirect and HTML corrections of a saved document's name.
    void correctNames(TDnObj& object);
    // Starts keeping the bytes of the file just created when it may be scanned.
    void keepPageBytes(const TDnObj& object);
    void handOver(TDnObj& object);
    void trySlashlessUrl(TDnObj& object);
    // A busy answer with Retry-After puts the object back into the queue instead of settling it
    // (busy_answer.h); returns whether it did.
    bool holdBack(TDnObj& object);

    // The task's own agent and proxy, or the configured ones.
    void applyTaskOptions(const TTask& task);
    // Holds the reads for the task's rate after length more bytes.
    void pace(TTask& task, std::size_t length);
    std::string pathOf(const TDnObj& object) const;
    void post(EngineMessage message, std::uintptr_t wParam, std::intptr_t lParam = 0);
    void postTaskEndedWhenIdle(const TTask& task);

    MessageLoop& m_loop;
    EngineState& m_state;
    const Handle m_mainWindow;
    const int m_slotIndex;
    THttpCli m_cli;
    const std::string m_agent;
    HttpProxySettings m_proxy;
    // After m_cli: its socket outlives the hold.
    ReadHold m_hold;
    FtpLocalFile m_file;
    std::unique_ptr<std::string> m_memory;  // the robots.txt body
    // The bytes written to a fresh file that may be scanned for links, while they are at most
    // kMaxPageBytes: handed to the link scan, they spare it reading the file back.
    std::optional<std::string> m_pageBytes;
    TDnObj* m_obj = nullptr;
    // Between Start and OnRequestDone: a request's completion is still to come.
    bool m_requestOpen = false;
    // This request wrote its error page into a fresh file (a 404 page may be renamed).
    bool m_savedErrorPage = false;
    // The file carries the task's StartDocName, which a redirect does not change.
    bool m_startDocument = false;
    // The host of the URL the last request ended at: its connection's, while one is kept.
    std::string m_lastHost;
    // The total size the answer announced, -1 when unknown.
    std::int64_t m_announcedSize = -1;
};

}  // namespace quillharbor
