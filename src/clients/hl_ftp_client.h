#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "clients/read_hold.h"
#include "model/engine_message.h"
#include "model/engine_state.h"
#include "model/ftp_slot.h"
#include "model/transfer_slot_factory.h"
#include "net/ftp_client.h"
#include "platform/message_loop.h"

namespace quillharbor {

// One FTP download slot: serves one object at a time with its own TFtpClient. It logs in with the
// task's FTP user and password, changes to the URL's directory, switches to binary type, asks for
// the file's size, retrieves the file into the task directory, quits, and reports every step by
// posting the engine's messages to the main window:
//
//   130 ObjectStarted       the retrieval begins                      object, 0
//   132 FtpLoggedIn         logged in                                 object, 0
//   146 FtpSizeKnown        size known, local name chosen             object, 0
//   142 ObjectProgress      file data arrived (at most every 100 ms)  object, 0
//   129 ObjectDone          the file came whole                       object, 0
//   147 FtpRestartComplete  the file came whole after a restart       object, 0
//   148 FtpError            an error reply, a failed connect, or an   object, the error code
//                           abort (426)
//   136 NetworkError        a failure of the component itself         object, 0
//   134 TaskEnded           the object's task has nothing queued      task, 0
//   138 ScanLinks           a directory's page waits for the link     object, 0
//                           intake (instead of 134's count)
//
// Objects and tasks travel as identities. Object states: 2 while served, 1 retrieved, 11 after an
// error reply or a failed connect, 3 after a failure of the component; and whenever the slot lets
// go of an object whose local file is shorter than its known size, 4 (resumable).
//
// Files: an object that holds its local name alone and counts bytes of its file (Received > 0)
// continues that file with a restart offset, unless the file is already longer than the
// server's copy. Otherwise it keeps its name or gets one of its URL that no other object holds
// (local_name_claim.h), and the file is created empty at once, so that no other slot picks the
// same name before the data arrives. Sizes and offsets are 64-bit.
//
// Directories: a URL ending with "/", or a name refused as a file (SIZE, or RETR before any
// byte) that CWD accepts, is listed (MLSD, else NLST) into an HTML page of links to its entries,
// which the link intake takes like the links of a saved HTML page. The server gets every name
// %-decoded; a decoded line end or NUL fails the object before it is sent.
//
// Servers: the URL's host may carry a port. With a proxy, the control connection goes to the
// proxy ("host" or "host:port" of the setting) and the server, port included, is named in the
// user name; data connections are then passive, otherwise active.
//
// Threads: the loop's thread only; all work happens in the component's events. Never blocks: the
// component's abort leaves it ready at once.
class THLFTPClient final : public FtpSlot {
public:
    static constexpr std::int32_t kInUse = 16;

    // context.State must outlive the slot.
    THLFTPClient(MessageLoop& loop, int slotIndex, const SlotContext& context);
    // Aborts a busy transfer, then Finish settles its object: a transfer cut short here is
    // reported by nothing else, so an object still marked being retrieved ends as stopped (part
    // of the file present) or failed.
    ~THLFTPClient() override;
    THLFTPClient(const THLFTPClient&) = delete;
    THLFTPClient& operator=(const THLFTPClient&) = delete;

    // Requires ready() and InUse() 0. The scheduler has taken the object out of the queue; it is
    // put into the seen list here unless it is there already.
    void Start(TDnObj& object) override;
    // The component is ready and every request the slot started has been reported done, so that
    // the late report of an aborted request is never taken for the next object's.
    bool ready() const override;
    TDnObj* Obj() const override { return m_obj; }
    // Lets go of the object: "noparsing", its task's Queued - 1 (134 at 0), state 4 when the file
    // is shorter than the known size. Without an object it only frees the slot. Either way the
    // component's login goes back to the default user and password.
    void Finish() override;
    // The component's abort. The interrupted request is reported later with 426 and ends the
    // object as an error reply; the QUIT that follows finds no connection, which the component
    // reports as its own failure (136, state 3), and Finish settles the object.
    void abort() override;
    void abandon() override;
    // Timeout is in minutes: the component's abort may wait that many times 60 seconds.
    void configure(const FtpSlotSettings& settings) override;
    std::int32_t InUse() const override { return m_inUse; }

    int SlotIndex() const { return m_slotIndex; }
    // Its OnDisplay and OnCommand events are free for tracing; the others are the slot's.
    TFtpClient& FtpCli() { return m_ftpCli; }

private:
    void onRequestDone(TFtpRequest request, int error);
    void onProgress();
    void onError();
    void onBgException();

    bool takenAsDirectory(TDnObj& object, TFtpRequest request, int error);
    void dropClaimedFile(TDnObj& object);
    void listingDone(TDnObj& object, TFtpRequest request);
    std::string listingPageName(const TDnObj& object) const;
    void sizeDone(TDnObj& object);
    void retrieveDone(TDnObj& object, TFtpRequest request);
    void componentFailed();
    // Finish, then the word that the slot is free (AdmitObjects).
    void finishFree();
    // Counts the bytes the local file grew by since the last count.
    void countReceived(TDnObj& object, std::int64_t fileSize);
    void startRequest(TFtpRequest request, void (TFtpClient::*call)());
    void post(EngineMessage message, std::uintptr_t wParam, std::intptr_t lParam = 0);

    MessageLoop& m_loop;
    EngineState& m_state;
    const Handle m_mainWindow;
    const int m_slotIndex;
    TFtpClient m_ftpCli;
    // After m_ftpCli: its data socket outlives the hold.
    ReadHold m_hold;
    TDnObj* m_obj = nullptr;
    std::int32_t m_inUse = 0;
    // The request whose report is still to come; None when nothing is outstanding.
    TFtpRequest m_awaiting = TFtpRequest::None;
    std::string m_proxyPort = "ftp";
    // The object is served as a directory (its URL ends with "/", or a CWD into its name
    // succeeded), and its listing page was saved.
    bool m_directory = false;
    bool m_listed = false;
    // The code with which the server refused the object's name as a file, while a CWD into it
    // tells whether it is a directory; 0 otherwise.
    int m_refusal = 0;
    std::chrono::steady_clock::time_point m_lastProgressReport;
};

}  // namespace quillharbor
