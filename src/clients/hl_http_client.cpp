#include "clients/hl_http_client.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "clients/busy_answer.h"
#include "clients/http_local_name.h"
#include "clients/http_resume.h"
#include "clients/local_name_claim.h"
#include "model/failure_cause.h"
#include "model/link_admission.h"
#include "model/message_identity.h"
#include "net/http_socket_transport.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

// A larger page is read back from its file by the link scan rather than held twice meanwhile.
constexpr std::size_t kMaxPageBytes = 1024 * 1024;

constexpr int kErrorStatus = 400;
constexpr int kNotFound = 404;

constexpr int kSocketErrorBase = 10000;

bool isHtml(std::string_view contentType) {
    return contentType.find("htm") != std::string_view::npos;
}

std::unique_ptr<HttpTransport> transportOrSocket(MessageLoop& loop,
                                                 std::unique_ptr<HttpTransport> transport) {
    return transport ? std::move(transport) : std::make_unique<HttpSocketTransport>(loop);
}

}  // namespace

THLHTTPClient::THLHTTPClient(MessageLoop& loop, int slotIndex, const SlotContext& context,
                             std::unique_ptr<HttpTransport> transport)
    : m_loop(loop),
      m_state(*context.State),
      m_mainWindow(context.MainWindow),
      m_slotIndex(slotIndex),
      m_cli(loop, transportOrSocket(loop, std::move(transport))),
      m_agent(context.AgentText),
      m_hold(loop) {
    m_cli.setAgent(context.AgentText);
    m_cli.setAccept("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    m_cli.OnDocBegin = [this](THttpCli&) { OnDocBegin(); };
    m_cli.OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
        OnDocData(data, length);
    };
    m_cli.OnDocEnd = [this](THttpCli&) { OnDocEnd(); };
    m_cli.OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
        // A failed look-up's code is the only word of it.
        if (m_obj != nullptr && error > kSocketErrorBase) {
            m_obj->Cause = error;
        }
        OnRequestDone();
    };
    m_cli.OnLocationChange = [this](THttpCli&) { OnLocationChange(); };
    // The control socket's own failures need no handler here: the component turns each of them
    // into the end of the request, with a status that OnRequestDone settles.
}

THLHTTPClient::~THLHTTPClient() {
    if (m_cli.State() != THttpState::httpReady) {
        m_cli.Abort();
    }
    Finish();
}

void THLHTTPClient::setProxy(const HttpProxySettings& proxy) {
    m_proxy = proxy;
    m_cli.setProxy(proxy.Proxy);
    m_cli.setProxyPort(proxy.ProxyPort);
    m_cli.setProxyUsername(proxy.ProxyUser);
    m_cli.setProxyPassword(proxy.ProxyPassword);
}

void THLHTTPClient::applyTaskOptions(const TTask& task) {
    m_cli.setAgent(task.Grab.UserAgent.empty() ? m_agent : task.Grab.UserAgent);
    const bool ownProxy = !task.Grab.ProxyHost.empty();
    m_cli.setProxy(ownProxy ? task.Grab.ProxyHost : m_proxy.Proxy);
    m_cli.setProxyPort(ownProxy ? task.Grab.ProxyPort : m_proxy.ProxyPort);
    m_cli.setProxyUsername(ownProxy ? std::string() : m_proxy.ProxyUser);
    m_cli.setProxyPassword(ownProxy ? std::string() : m_proxy.ProxyPassword);
}

void THLHTTPClient::pace(TTask& task, std::size_t length) {
    const auto wait = task.Pace.charge(task.Grab.RateLimit, length, ReadPace::Clock::now());
    // A scripted transport has no socket to hold.
    if (wait > ReadPace::Clock::duration::zero() && m_cli.CtrlSocket() != nullptr) {
        m_hold.hold(*m_cli.CtrlSocket(), wait);
    }
}

std::string_view THLHTTPClient::keptHost() const {
    return m_cli.KeepsConnection() && !m_requestOpen ? std::string_view(m_lastHost)
                                                     : std::string_view();
}

bool THLHTTPClient::ready() const {
    return m_cli.State() == THttpState::httpReady && !m_requestOpen;
}

void THLHTTPClient::Start(TDnObj& object) {
    m_obj = &object;
    IdleTicks = 0;
    BusyTicks = 0;
    m_savedErrorPage = false;
    m_startDocument = false;
    m_announcedSize = -1;
    m_pageBytes.reset();
    m_cli.setURL(object.URL);
    m_cli.setReference(object.Referrer);
    applyTaskOptions(*object.Task);
    m_cli.setFollowHttps(m_state.Https);
    m_cli.setVerifyCertificates(m_state.VerifyCertificates &&
                                !TaskHasFlag(*object.Task, TaskFlag::SkipCertificateCheck));
    m_cli.setKeepAlive(m_state.KeepAlive);
    object.Status = 0;
    object.Cause = kCauseNone;
    // A redirect of this request names its target afresh.
    object.Location.clear();

    if (object.Received > 0) {
        const Result<std::uint64_t> size = fileSize(pathOf(object));
        const auto present = static_cast<std::int64_t>(size.valueOr(0));
        // A file that already holds the whole document is fetched again: the range after its
        // end could only be refused.
        object.Received = object.Size > 0 && present >= object.Size ? 0 : present;
    }
    if (object.Received > 0) {
        m_cli.setContentRangeBegin(std::to_string(object.Received));
        m_cli.setContentRangeEnd(object.Size > 0 ? std::to_string(object.Size) : std::string());
    } else {
        m_cli.setContentRangeBegin({});
        m_cli.setContentRangeEnd({});
    }

    if (object.State != ObjectState::RobotsRequest) {
        object.State = ObjectState::Retrieving;
    }
    post(EngineMessage::ObjectStarted, identityOf(object));
    m_requestOpen = true;
    m_cli.GetASync();
}

void THLHTTPClient::OnDocBegin() {
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    if (object.State == ObjectState::RobotsRequest) {
        m_memory = std::make_unique<std::string>();
        return;
    }
    const bool fresh = object.Received == 0;
    if (fresh ? !openFresh(object) : !openForResume(object)) {
        return;
    }
    // An error page's length says nothing of the document's; a fresh document's replaces what
    // an earlier answer announced, or a document that shrank would stay incomplete for ever.
    if (!m_savedErrorPage && (fresh || object.Size < 1)) {
        object.Size = m_announcedSize;
    }
    post(EngineMessage::ObjectReceiving, identityOf(object));
}

bool THLHTTPClient::openForResume(TDnObj& object) {
    const std::string path = pathOf(object);
    const std::int64_t length = m_cli.ContentLength();
    switch (classifyResumeAnswer(object.Received, m_cli.StatusCode(), m_cli.ContentRangeBegin())) {
        case ResumeAnswer::Append: {
            // The file must still end where the range begins.
            const Result<std::uint64_t> size = fileSize(path);
            if (!size || static_cast<std::int64_t>(size.value()) != object.Received ||
                !m_file.openAt(path, object.Received)) {
                m_cli.Abort();
                return false;
            }
            m_announcedSize = length >= 0 ? object.Received + length : -1;
            return true;
        }
        case ResumeAnswer::Restart:
            if (!m_file.create(path)) {
                m_cli.Abort();
                return false;
            }
            keepPageBytes(object);
            object.Received = 0;
            // The document may have changed since its size was taken.
            object.Size = length;
            m_announcedSize = length;
            return true;
        case ResumeAnswer::Refuse:
            // An error page keeps the request's own status; a range that does not fit ends
            // the request as stopped, the partial file untouched.
            if (m_cli.StatusCode() < kErrorStatus) {
                m_cli.Abort();
            }
            return false;
    }
    return false;
}

bool THLHTTPClient::openFresh(TDnObj& object) {
    const TTask& task = *object.Task;
    // In the site's layout the starting document keeps its own place, where the site's links
    // to it lead. Recognised also on a later run, when the task has grown past its first object.
    // Only a first-level object: a dropped page is the starting document of its task before
    // anything is fetched, and its first fetched link is not.
    const bool siteLayout = TaskHasFlag(task, TaskFlag::SiteLayout);
    m_startDocument = !siteLayout && !task.StartDocName.empty() && object.Level == 1 &&
                      (task.Total == 1 || object.URL == task.URL) &&
                      TakesStartDocName(m_cli.ContentType(), object.URL);
    std::string wanted = m_startDocument ? task.StartDocName : DocumentPath(object.URL, siteLayout);
    // Named as HTML from the start, so that "/a" saved as "a.html" leaves room for a folder "a".
    if (siteLayout && isHtml(m_cli.ContentType())) {
        if (std::string html = HtmlNameFor(wanted); !html.empty()) {
            wanted = std::move(html);
        }
    }
    SetLocalName(object, FreshLocalName(m_state.TaskList, object, wanted));
    Status created = MakeLocalFolders(object);
    if (created) {
        created = m_file.create(pathOf(object));
    }
    if (!created) {
        fileFailed(object, created.error().code);
        return false;
    }
    keepPageBytes(object);
    m_savedErrorPage = m_cli.StatusCode() >= kErrorStatus;
    m_announcedSize = m_cli.ContentLength();
    return true;
}

void THLHTTPClient::OnDocData(const char* data, std::size_t length) {
    BusyTicks = 0;
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    if (object.State == ObjectState::RobotsRequest) {
        if (m_memory) {
            const std::size_t room =
                kRobotsBodyLimit - std::min(kRobotsBodyLimit, m_memory->size());
            m_memory->append(data, std::min(room, length));
        }
        return;
    }
    if (!m_file.isOpen()) {
        return;
    }
    if (Status written = m_file.write(std::string_view(data, length)); !written) {
        fileFailed(object, written.error().code);
        return;
    }
    if (m_pageBytes) {
        if (m_pageBytes->size() + length > kMaxPageBytes) {
            m_pageBytes.reset();
        } else {
            m_pageBytes->append(data, length);
        }
    }
    m_state.BytesWindow += m_file.size() - object.Received;
    object.Received = m_file.size();
    post(EngineMessage::ObjectProgress, identityOf(object));
    pace(*object.Task, length);
}

void THLHTTPClient::fileFailed(TDnObj& object, int error) {
    object.Cause = error == ENOSPC ? kCauseDiskFull : kCauseFileNotWritten;
    m_cli.Abort();
}

void THLHTTPClient::OnLocationChange() {
    if (m_obj != nullptr) {
        m_obj->Location = m_cli.Location();
    }
}

void THLHTTPClient::OnDocEnd() {
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    if (object.State == ObjectState::RobotsRequest) {
        if (!holdBack(object)) {
            robotsDocEnd(object);
        }
        return;
    }
    // Error answers and aborts are settled by OnRequestDone; the file stays open until then.
    if (m_cli.StatusCode() >= kErrorStatus) {
        return;
    }
    if (m_file.isOpen()) {
        object.Received = m_file.size();
        if (object.Size < 1) {
            object.Size = m_announcedSize;
        }
        // A chunked body tells its end only by its last chunk.
        if (object.Size > object.Received || m_cli.BodyCut()) {
            object.State = ObjectState::Incomplete;
        }
        if (object.Size < 1) {
            object.Size = object.Received;
        }
        m_file.close();
    }
    TTask& task = *object.Task;
    switch (object.State) {
        case ObjectState::Failed:
            post(EngineMessage::NetworkError, identityOf(object));
            --task.Queued;
            break;
        case ObjectState::Retrieving:
        case ObjectState::Incomplete:
            object.Status = m_cli.StatusCode();
            if (object.State == ObjectState::Incomplete) {
                post(EngineMessage::TransferAborted, identityOf(object));
            } else {
                object.State = ObjectState::Retrieved;
                post(EngineMessage::ObjectDone, identityOf(object), object.Received);
            }
            object.ContentType = m_cli.ContentType();
            correctNames(object);
            handOver(object);
            break;
        default:
            break;
    }
    postTaskEndedWhenIdle(task);
    m_obj = nullptr;
}

void THLHTTPClient::robotsDocEnd(TDnObj& object) {
    const int status = m_cli.StatusCode();
    const std::uintptr_t identity = identityOf(object);
    if (status >= kErrorStatus) {
        post(EngineMessage::HttpError, identity, status);
    }
    std::unique_ptr<std::string> body = std::move(m_memory);
    if (status < kErrorStatus && body && !body->empty()) {
        // The body waits in the engine state, so that it is freed even when the message is
        // dropped on the way.
        const std::uintptr_t ticket = m_state.RobotsBodies.deposit(std::move(*body));
        if (!m_loop.post(m_mainWindow, messageNumber(EngineMessage::RobotsAnswer), ticket,
                         static_cast<std::intptr_t>(identity))) {
            m_state.RobotsBodies.take(ticket);
        }
    } else {
        post(EngineMessage::RobotsAnswer, 0, static_cast<std::intptr_t>(identity));
    }
    m_obj = nullptr;
}

void THLHTTPClient::correctNames(TDnObj& object) {
    // Naming the starting document after its redirect target would lose StartDocName.
    const TaskList& tasks = m_state.TaskList;
    if (!object.Location.empty() && !m_startDocument) {
        MoveLocalFile(object, RenamedLocalName(
                                  tasks, object,
                                  DocumentPath(object.Location,
                                               TaskHasFlag(*object.Task, TaskFlag::SiteLayout))));
    }
    if (isHtml(object.ContentType)) {
        if (const std::string html = HtmlNameFor(object.LocalName); !html.empty()) {
            MoveLocalFile(object, RenamedLocalName(tasks, object, html));
        }
    }
}

void THLHTTPClient::keepPageBytes(const TDnObj& object) {
    m_pageBytes.reset();
    if (WouldParse(object, m_cli.ContentType())) {
        m_pageBytes.emplace();
    }
}

void THLHTTPClient::handOver(TDnObj& object) {
    std::optional<std::string> bytes = std::exchange(m_pageBytes, std::nullopt);
    if (bytes && static_cast<std::int64_t>(bytes->size()) != object.Received) {
        bytes.reset();
    }
    // A cut document waits for its rest: scanned now, it would lose the links of its missing
    // part and follow the one cut mid-name. The file of bytes just kept needs no look.
    if (object.State != ObjectState::Incomplete &&
        (bytes ? WouldParse(object, object.ContentType) : ShouldParse(object))) {
        const std::uintptr_t identity = identityOf(object);
        if (bytes) {
            m_state.PagesToScan.insert_or_assign(identity, std::move(*bytes));
        }
        // The link scanner settles the count when it is done.
        post(EngineMessage::ScanLinks, identity);
        return;
    }
    --object.Task->Queued;
    if (object.State != ObjectState::Incomplete) {
        object.State = ObjectState::Done;
    }
}

void THLHTTPClient::OnRequestDone() {
    m_requestOpen = false;
    m_hold.release();
    m_lastHost = HostPart(m_cli.Location());
    if (m_obj != nullptr) {
        trySlashlessUrl(*m_obj);
        Finish();
    }
    // The object's reports went out before the slot was free: without this word, a fast
    // dispatch would leave the slot idle until some other report or the next tick.
    post(EngineMessage::AdmitObjects, 0);
}

void THLHTTPClient::trySlashlessUrl(TDnObj& object) {
    TTask& task = *object.Task;
    if (m_cli.StatusCode() != kNotFound || !TaskHasFlag(task, TaskFlag::TrySlashes) ||
        object.URL.empty() || object.URL.back() != '/') {
        return;
    }
    if (object.InList == GlobalList::Seen) {
        m_state.SeenList.SeenRemove(object);
    }
    TDnObj* replacement = NewDnObj(task, object.URL.substr(0, object.URL.size() - 1), object.Level);
    if (replacement != nullptr) {
        replacement->Referrer = object.Referrer;
        // It stands in for this object in the count of files.
        --task.Total;
        m_state.Queue.Enqueue(*replacement);
    }
}

void THLHTTPClient::Finish() {
    if (m_obj == nullptr) {
        return;
    }
    TDnObj& object = *m_obj;
    if (holdBack(object)) {
        return;
    }
    const std::uintptr_t identity = identityOf(object);
    const int code = m_cli.StatusCode();
    if (object.State == ObjectState::RobotsRequest) {
        post(EngineMessage::RobotsAnswer, 0, static_cast<std::intptr_t>(identity));
        m_memory.reset();
        m_obj = nullptr;
        return;
    }
    TTask& task = *object.Task;
    --task.Queued;
    if (m_savedErrorPage) {
        // The file holds the server's error page, nothing of the document to resume from.
        object.Received = 0;
    }
    // Received counts the bytes of the file, whether this request wrote them or an earlier one.
    const bool partial = object.Received > 0;
    if (code < kErrorStatus) {
        object.State = partial ? ObjectState::Incomplete : ObjectState::Failed;
        post(EngineMessage::NetworkError, identity);
    } else {
        const bool retry = code > kSocketErrorBase && m_state.RetryOnFails && object.Retried == 0;
        if (code > kSocketErrorBase) {
            object.Cause = code;
        }
        object.Status = code > kSocketErrorBase && !retry ? kHttpLookupOrAbort : code;
        if (retry) {
            object.Retried = 1;
            object.State = ObjectState::Queued;
            if (object.InList == GlobalList::Seen) {
                m_state.SeenList.SeenRemove(object);
            }
            m_state.Queue.Enqueue(object);
            ++task.Queued;
            post(EngineMessage::NetworkError, identity, code);
        } else {
            if (code != kHttpLookupOrAbort) {
                object.State = ObjectState::ProtocolError;
            } else {
                object.State = partial ? ObjectState::Incomplete : ObjectState::Removed;
            }
            post(EngineMessage::HttpError, identity, code);
        }
    }
    m_file.close();
    m_pageBytes.reset();
    postTaskEndedWhenIdle(task);
    // Only a page this request saved is renamed: a partial file being resumed keeps its name.
    if (code == kNotFound && m_savedErrorPage && ErrorPageNeedsHtmlName(object.LocalName)) {
        MoveLocalFile(object,
                      RenamedLocalName(m_state.TaskList, object, object.LocalName + ".html"));
    }
    m_obj = nullptr;
}

bool THLHTTPClient::holdBack(TDnObj& object) {
    if (!holdOnBusyAnswer(m_state, object, m_cli.StatusCode(), m_cli.RcvdHeader(),
                          m_cli.Location())) {
        return false;
    }
    if (m_savedErrorPage) {
        // The file holds the server's answer, nothing of the document to resume from.
        object.Received = 0;
    }
    m_file.close();
    m_memory.reset();
    post(EngineMessage::HostHeld, identityOf(object), m_cli.StatusCode());
    m_obj = nullptr;
    return true;
}

void THLHTTPClient::abort() {
    m_hold.release();
    m_cli.Abort();
}

void THLHTTPClient::abandon() {
    m_hold.release();
    m_obj = nullptr;
    m_memory.reset();
    m_file.close();
    if (m_cli.State() != THttpState::httpReady) {
        m_cli.Abort();
    }
}

std::string THLHTTPClient::pathOf(const TDnObj& object) const {
    return object.Task->Dir + object.LocalName;
}

void THLHTTPClient::post(EngineMessage message, std::uintptr_t wParam, std::intptr_t lParam) {
    m_loop.post(m_mainWindow, messageNumber(message), wParam, lParam);
}

void THLHTTPClient::postTaskEndedWhenIdle(const TTask& task) {
    if (task.Queued == 0) {
        post(EngineMessage::TaskEnded, identityOf(task));
    }
}

}  // namespace quillharbor
