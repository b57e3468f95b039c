#include "clients/hl_ftp_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <utility>

#include "clients/ftp_directory_page.h"
#include "clients/ftp_host_port.h"
#include "clients/ftp_url_names.h"
#include "clients/local_name_claim.h"
#include "model/failure_cause.h"
#include "model/link_admission.h"
#include "model/message_identity.h"
#include "net/ftp_listing.h"
#include "net/ftp_local_file.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

constexpr std::int32_t kSecondsPerMinute = 60;
// Reply codes have three digits; a failed look-up or connect reports a socket code instead.
constexpr int kLargestReplyCode = 999;
constexpr std::chrono::milliseconds kProgressReportInterval{100};
constexpr std::string_view kPageExtension = ".html";

// A reply code, not a socket code or an abort: the server refused the name.
bool refusedByServer(int error) {
    return error > 0 && error <= kLargestReplyCode && error != TFtpClient::AbortedCode;
}

// The URL a listed directory's entries are named under: the object's URL ending with "/".
std::string directoryUrlOf(const std::string& url) {
    return url.ends_with('/') ? url : url + "/";
}

bool isSingleStep(TFtpRequest request) {
    return request == TFtpRequest::ChangeDirectory || request == TFtpRequest::Type ||
           request == TFtpRequest::Size || request == TFtpRequest::Quit;
}

}  // namespace

THLFTPClient::THLFTPClient(MessageLoop& loop, int slotIndex, const SlotContext& context)
    : m_loop(loop),
      m_state(*context.State),
      m_mainWindow(context.MainWindow),
      m_slotIndex(slotIndex),
      m_ftpCli(loop),
      m_hold(loop) {
    m_ftpCli.OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
        onRequestDone(request, error);
    };
    m_ftpCli.OnProgress = [this](TFtpClient&, std::int64_t, bool&) { onProgress(); };
    m_ftpCli.OnError = [this](TFtpClient&, std::string&) { onError(); };
    m_ftpCli.OnBgException = [this](TFtpClient&, const std::exception&, bool&) { onBgException(); };
}

THLFTPClient::~THLFTPClient() {
    m_ftpCli.AbortAsync();
    if (m_obj != nullptr && m_obj->State == ObjectState::Retrieving) {
        m_obj->State = m_obj->Received > 0 ? ObjectState::Incomplete : ObjectState::Failed;
    }
    Finish();
}

void THLFTPClient::configure(const FtpSlotSettings& settings) {
    m_ftpCli.setTimeout(settings.Timeout * kSecondsPerMinute);
    m_ftpCli.setUserName(settings.UserName);
    m_ftpCli.setPassWord(settings.Password);
    const FtpHostPort proxy = splitFtpHostPort(settings.ProxyServer);
    m_ftpCli.setProxyServer(proxy.host);
    m_proxyPort = proxy.port;
}

bool THLFTPClient::ready() const {
    return m_ftpCli.State() == TFtpState::Ready && m_awaiting == TFtpRequest::None;
}

void THLFTPClient::Start(TDnObj& object) {
    m_inUse = kInUse;
    m_obj = &object;
    object.Cause = kCauseNone;
    m_lastProgressReport = {};
    object.ContentType = "unknown";

    const bool throughProxy = !m_ftpCli.ProxyServer().empty();
    const std::string hostPart = FtpHostOf(object.URL);
    const FtpHostPort server = splitFtpHostPort(hostPart);
    m_ftpCli.setHostName(throughProxy ? hostPart : server.host);
    m_ftpCli.setPort(throughProxy ? m_proxyPort : server.port);
    m_ftpCli.setHostDirName(FtpRemoteDirectory(object.URL));
    m_ftpCli.setHostFileName(FtpRemoteFileName(object.URL));
    m_directory = m_ftpCli.HostFileName().empty();
    m_listed = false;
    m_refusal = 0;
    const TTask& task = *object.Task;
    m_ftpCli.setPassWord(task.FtpPassword);
    m_ftpCli.setUserName(task.FtpUser);

    object.State = ObjectState::Retrieving;
    post(EngineMessage::ObjectStarted, identityOf(object));
    if (object.InList == GlobalList::None) {
        m_state.SeenList.SeenInsert(object);
    }
    // A session that ended without QUIT may still hold its connection, which would refuse the
    // connect; the mode may only change while nothing is connected.
    if (m_ftpCli.Connected()) {
        m_ftpCli.AbortAsync();
    }
    m_ftpCli.setConnectionType(throughProxy ? TFtpConnectionType::ftpProxy
                                            : TFtpConnectionType::ftpDirect);
    startRequest(TFtpRequest::Connect, &TFtpClient::connect);
}

void THLFTPClient::onRequestDone(TFtpRequest request, int error) {
    // Any other report belongs to a request that was aborted under an object already let go.
    if (request != m_awaiting) {
        return;
    }
    m_awaiting = TFtpRequest::None;
    m_hold.release();
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    if (request == TFtpRequest::Quit) {
        // Whether the server answered QUIT or not, the object's result is already settled, and
        // its Status keeps the code of the work rather than QUIT's.
        finishFree();
        return;
    }
    if (takenAsDirectory(object, request, error)) {
        return;
    }
    if (request == TFtpRequest::ChangeDirectory && m_refusal != 0) {
        // The name is no directory either: the refusal of the file stands.
        error = std::exchange(m_refusal, 0);
    }
    object.Status = error > 0 && error <= kLargestReplyCode ? error : m_ftpCli.StatusCode();
    // A failed look-up or connect: its socket code says what the status does not.
    if (error > kLargestReplyCode) {
        object.Cause = error;
    }
    if (error != 0) {
        post(EngineMessage::FtpError, identityOf(object), error);
        object.State = ObjectState::FtpError;
        if (request == TFtpRequest::Connect) {
            finishFree();
            // A refused USER or PASS leaves the session connected: nothing of it is wanted.
            m_ftpCli.AbortAsync();
        } else {
            startRequest(TFtpRequest::Quit, &TFtpClient::quit);
        }
        return;
    }
    switch (request) {
        case TFtpRequest::Connect:
            post(EngineMessage::FtpLoggedIn, identityOf(object));
            startRequest(TFtpRequest::ChangeDirectory, &TFtpClient::changeDirectory);
            break;
        case TFtpRequest::ChangeDirectory:
            if (m_directory) {
                startRequest(TFtpRequest::MachineList, &TFtpClient::machineList);
            } else {
                startRequest(TFtpRequest::Type, &TFtpClient::binaryType);
            }
            break;
        case TFtpRequest::Type:
            startRequest(TFtpRequest::Size, &TFtpClient::size);
            break;
        case TFtpRequest::Size:
            sizeDone(object);
            break;
        case TFtpRequest::Retrieve:
        case TFtpRequest::RestartRetrieve:
            retrieveDone(object, request);
            break;
        case TFtpRequest::MachineList:
        case TFtpRequest::NameList:
            listingDone(object, request);
            break;
        default:
            break;
    }
}

// A directory shows itself when its name is refused as a file (SIZE, or RETR before any byte)
// and a CWD into it succeeds; a server without MLSD is asked for NLST. Returns whether the report
// was taken up here.
bool THLFTPClient::takenAsDirectory(TDnObj& object, TFtpRequest request, int error) {
    if (request == TFtpRequest::ChangeDirectory && m_refusal != 0 && error == 0) {
        m_refusal = 0;
        m_directory = true;
        dropClaimedFile(object);
        startRequest(TFtpRequest::MachineList, &TFtpClient::machineList);
        return true;
    }
    if (request == TFtpRequest::MachineList && error != 0 && error != TFtpClient::AbortedCode) {
        startRequest(TFtpRequest::NameList, &TFtpClient::nameList);
        return true;
    }
    const bool fileRefused =
        request == TFtpRequest::Size || (request == TFtpRequest::Retrieve && object.Received == 0);
    if (!fileRefused || !refusedByServer(error) || m_directory) {
        return false;
    }
    m_refusal = error;
    m_ftpCli.setHostDirName(m_ftpCli.HostFileName());
    startRequest(TFtpRequest::ChangeDirectory, &TFtpClient::changeDirectory);
    return true;
}

// The empty file claimed for the name a refused RETR asked for: the directory gets a page instead.
void THLFTPClient::dropClaimedFile(TDnObj& object) {
    if (object.LocalName.empty()) {
        return;
    }
    const std::string path = object.Task->Dir + object.LocalName;
    const Result<std::uint64_t> size = fileSize(path);
    if (size.ok() && size.value() == 0 && deleteFile(path)) {
        object.LocalName.clear();
    }
}

void THLFTPClient::listingDone(TDnObj& object, TFtpRequest request) {
    const std::string& listing = m_ftpCli.Listing();
    const std::string page =
        FtpDirectoryPage(directoryUrlOf(object.URL), request == TFtpRequest::MachineList
                                                         ? ParseMlsdListing(listing)
                                                         : ParseNlstListing(listing));
    SetLocalName(object, listingPageName(object));
    post(EngineMessage::FtpSizeKnown, identityOf(object));
    if (const Status written = replaceFileAtomically(object.Task->Dir + object.LocalName, page);
        !written) {
        object.Status = TFtpClient::DataFailedCode;
        object.Cause = written.error().code == ENOSPC ? kCauseDiskFull : kCauseFileNotWritten;
        post(EngineMessage::FtpError, identityOf(object), TFtpClient::DataFailedCode);
        object.State = ObjectState::FtpError;
        startRequest(TFtpRequest::Quit, &TFtpClient::quit);
        return;
    }
    m_listed = true;
    object.Size = static_cast<std::int64_t>(page.size());
    countReceived(object, object.Size);
    post(EngineMessage::ObjectDone, identityOf(object));
    object.State = ObjectState::Retrieved;
    startRequest(TFtpRequest::Quit, &TFtpClient::quit);
}

// The starting directory's page is the task's starting document; another keeps the page it had
// (a listing fetched again) or gets one named after the directory ("sub dir.html", "index.html"
// for the server's root).
std::string THLFTPClient::listingPageName(const TDnObj& object) const {
    const TTask& task = *object.Task;
    if (object.Level == 1 && !task.StartDocName.empty()) {
        return task.StartDocName;
    }
    if (object.LocalName.ends_with(kPageExtension)) {
        return object.LocalName;
    }
    // Named after the directory itself, so the flat task directory shows whose index it is.
    std::string directory = object.URL;
    if (directory.ends_with('/')) {
        directory.pop_back();
    }
    std::string name = FtpLocalName(directory);
    if (!name.ends_with(kPageExtension)) {
        name += kPageExtension;
    }
    return MakeUniqueName(name, task.Dir);
}

void THLFTPClient::sizeDone(TDnObj& object) {
    const TTask& task = *object.Task;
    object.Size = FirstNumberIn(m_ftpCli.LastResponse());
    // Only a file the object counts bytes of is continued; anything else under its name is left
    // from a failed or killed run and is written over.
    const bool named =
        !object.LocalName.empty() && !LocalNameHeld(m_state.TaskList, object, object.LocalName);
    const Result<std::uint64_t> present = fileSize(task.Dir + object.LocalName);
    const bool resume =
        named && object.Received > 0 && present.ok() &&
        (object.Size < 1 || present.value() <= static_cast<std::uint64_t>(object.Size));
    if (!resume) {
        SetLocalName(object, FreshLocalName(m_state.TaskList, object, FtpLocalName(object.URL)));
        // Claims the name at once, so that no other slot takes it. A file that cannot be created
        // fails the retrieval, which creates it again.
        static_cast<void>(FtpLocalFile().create(task.Dir + object.LocalName));
    }
    const std::string path = task.Dir + object.LocalName;
    m_ftpCli.setLocalFileName(path);
    post(EngineMessage::FtpSizeKnown, identityOf(object));
    object.Received = resume ? static_cast<std::int64_t>(present.value()) : 0;
    if (resume) {
        startRequest(TFtpRequest::RestartRetrieve, &TFtpClient::restartRetrieve);
    } else {
        startRequest(TFtpRequest::Retrieve, &TFtpClient::retrieve);
    }
}

void THLFTPClient::retrieveDone(TDnObj& object, TFtpRequest request) {
    post(request == TFtpRequest::RestartRetrieve ? EngineMessage::FtpRestartComplete
                                                 : EngineMessage::ObjectDone,
         identityOf(object));
    object.State = ObjectState::Retrieved;
    // Progress is reported before each read, so the last block is counted only here.
    const Result<std::uint64_t> size = fileSize(object.Task->Dir + object.LocalName);
    if (size.ok()) {
        countReceived(object, static_cast<std::int64_t>(size.value()));
    }
    startRequest(TFtpRequest::Quit, &TFtpClient::quit);
}

void THLFTPClient::onProgress() {
    if (m_obj == nullptr) {
        return;
    }
    const std::int64_t grown = m_ftpCli.LocalStreamSize() - m_obj->Received;
    countReceived(*m_obj, m_ftpCli.LocalStreamSize());
    TTask& task = *m_obj->Task;
    if (const auto wait = task.Pace.charge(
            task.Grab.RateLimit, static_cast<std::size_t>(std::max<std::int64_t>(grown, 0)),
            ReadPace::Clock::now());
        wait > ReadPace::Clock::duration::zero()) {
        m_hold.hold(m_ftpCli.DataSocket(), wait);
    }
    // One report per 2 KiB block would flood the queue on a fast line: the socket reads while
    // data waits, and the reports pile up until it stops.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastProgressReport >= kProgressReportInterval) {
        m_lastProgressReport = now;
        post(EngineMessage::ObjectProgress, identityOf(*m_obj));
    }
}

void THLFTPClient::countReceived(TDnObj& object, std::int64_t fileSize) {
    m_state.BytesWindow += std::max<std::int64_t>(0, fileSize - object.Received);
    object.Received = fileSize;
}

void THLFTPClient::onError() {
    componentFailed();
    // The failing step may have left the session logged in, and the next connect would be
    // refused as "already connected".
    m_ftpCli.AbortAsync();
}

void THLFTPClient::onBgException() {
    // The component aborts the session itself afterwards.
    componentFailed();
}

void THLFTPClient::componentFailed() {
    // A single step refused before it started is never reported; a high-level request always is.
    if (isSingleStep(m_awaiting) && m_ftpCli.State() == TFtpState::Ready) {
        m_awaiting = TFtpRequest::None;
    }
    if (m_obj == nullptr) {
        return;
    }
    // Only the QUIT follows a whole file: a session already gone (an abort that came after the
    // last byte) takes nothing from the file.
    if (m_obj->State != ObjectState::Retrieved) {
        post(EngineMessage::NetworkError, identityOf(*m_obj));
        m_obj->State = ObjectState::Failed;
    }
    finishFree();
}

void THLFTPClient::Finish() {
    m_inUse = 0;
    m_ftpCli.setUserName(m_state.DefaultFtpUser);
    m_ftpCli.setPassWord(m_state.DefaultFtpPassword);
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    m_obj = nullptr;
    TTask& task = *object.Task;
    // A listed directory is a page of links; a file is never scanned.
    object.ContentType = std::exchange(m_listed, false) ? "text/html" : "noparsing";
    if (object.ContentType == "text/html" && object.State == ObjectState::Retrieved &&
        ShouldParse(object)) {
        // The link intake settles the count when it is done.
        post(EngineMessage::ScanLinks, identityOf(object));
    } else if (--task.Queued == 0) {
        post(EngineMessage::TaskEnded, identityOf(task));
    }
    if (object.Received < object.Size) {
        object.State = ObjectState::Incomplete;
    }
}

void THLFTPClient::finishFree() {
    Finish();
    // The last report went out before QUIT, while the slot was busy: this word lets a fast
    // dispatch give the free slot its next object now rather than at the next tick.
    post(EngineMessage::AdmitObjects, 0);
}

void THLFTPClient::abort() {
    m_hold.release();
    m_ftpCli.Abort();
}

void THLFTPClient::abandon() {
    m_hold.release();
    m_obj = nullptr;
    m_inUse = 0;
    m_ftpCli.AbortAsync();
}

void THLFTPClient::startRequest(TFtpRequest request, void (TFtpClient::*call)()) {
    m_awaiting = request;
    (m_ftpCli.*call)();
}

void THLFTPClient::post(EngineMessage message, std::uintptr_t wParam, std::intptr_t lParam) {
    m_loop.post(m_mainWindow, messageNumber(message), wParam, lParam);
}

}  // namespace quillharbor
