#include "net/http_cli.h"

#include <array>
#include <utility>

#include "net/http_doc_name.h"
#include "net/http_exception.h"
#include "net/http_redirect.h"
#include "net/http_referer.h"
#include "net/http_socket_transport.h"
#include "net/http_tunnel.h"
#include "net/socket_error.h"
#include "net/tls_failure.h"

namespace quillharbor {

namespace {

constexpr int AbortedError = 3;

// Where a redirect body read only to keep its connection goes.
ChunkedDecoder::Sink& discardedBody() {
    struct Discard final : ChunkedDecoder::Sink {
        void onDecoded(const char*, std::size_t) override {}
    };
    static Discard discard;
    return discard;
}

}  // namespace

THttpCli::THttpCli(MessageLoop& loop)
    : THttpCli(loop, std::make_unique<HttpSocketTransport>(loop)) {}

THttpCli::THttpCli(MessageLoop& loop, std::unique_ptr<HttpTransport> transport)
    : m_loop(loop), m_handle(loop.add(*this)), m_transport(std::move(transport)) {
    m_fields.Agent = "Mozilla/3.0 (compatible)";
    m_fields.Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    m_transport->setEvents(*this);
}

THttpCli::~THttpCli() {
    m_loop.remove(m_handle);
    m_transport.reset();
}

template <typename... Args>
void THttpCli::fire(const std::function<void(THttpCli&, Args...)>& event, Args... args) {
    if (event) {
        event(*this, args...);
    }
}

void THttpCli::setState(THttpState state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    fire(OnStateChange);
    if (state == THttpState::httpReady) {
        m_loop.post(m_handle, WM_HTTP_REQUEST_DONE, m_request,
                    static_cast<std::intptr_t>(m_requestDoneError));
    }
}

void THttpCli::GetASync() {
    if (m_state != THttpState::httpReady) {
        throw EHttpException("HTTP component is busy", 1);
    }
    HttpTarget target = makeHttpTarget(m_url, m_proxy, m_proxyPort);
    const bool reuse = m_keepAlive && m_transport->open() &&
                       m_kept.serves(KeptConnection::keyOf(target, m_verifyCertificates),
                                     KeptConnection::Clock::now());
    if (!reuse && m_transport->open()) {
        m_transport->close();  // the last request is over: its close reports nothing
    }
    m_kept.drop();
    ++m_request;
    m_requestType = THttpRequest::httpGET;
    m_requestDoneError = 0;
    m_redirecting = false;
    m_readingRedirect = false;
    m_nextOnKeptConnection = false;
    m_finished = false;
    m_persistent = m_keepAlive;
    m_framing = HttpBodyFraming();
    m_bodyEnded = false;
    m_bodyCut = false;
    m_onKeptConnection = reuse;
    m_parser.startRequest();
    setState(THttpState::httpNotConnected);
    m_rcvdCount = 0;
    m_bodyPieces = 0;
    m_redirects = 0;
    m_location = m_url;
    m_target = std::move(target);
    m_docName = docNameFromPath(m_target.path);

    m_requestFields = m_fields;
    m_requestFields.Reference = refererWithoutUserInfo(m_fields.Reference);
    if (!m_target.user.empty()) {
        m_requestFields.Username = m_target.user;
    }
    if (!m_target.password.empty()) {
        m_requestFields.Password = m_target.password;
    }
    m_requestFields.ContentRangeBegin = std::exchange(m_contentRangeBegin, {});
    m_requestFields.ContentRangeEnd = std::exchange(m_contentRangeEnd, {});
    if (reuse) {
        sendOnKeptConnection();
    } else {
        startLookup();
    }
}

void THttpCli::sendOnKeptConnection() {
    setState(THttpState::httpConnected);
    setState(THttpState::httpWaitingHeader);
    sendRequest();
}

void THttpCli::startLookup() {
    setState(THttpState::httpDnsLookup);
    m_transport->lookup(m_target.connectHost);
}

void THttpCli::onLookupDone(int error, const std::string& address) {
    if (m_state != THttpState::httpDnsLookup) {
        return;  // a cancelled look-up
    }
    if (error != 0) {
        fail(kHttpLookupOrAbort, "can't resolve hostname to IP address", error);
        return;
    }
    setState(THttpState::httpDnsLookupDone);
    m_transport->plan(sessionPlan());
    m_transport->connect(address, m_target.connectPort);
}

HttpSessionPlan THttpCli::sessionPlan() const {
    HttpSessionPlan plan;
    plan.tls = m_target.secure;
    plan.serverName = m_target.targetHost;
    plan.verify = m_verifyCertificates;
    if (!m_target.tunnel.empty()) {
        plan.tunnelRequest = composeConnectRequest(m_target.tunnel, m_requestFields.ProxyUsername,
                                                   m_requestFields.ProxyPassword);
    }
    return plan;
}

void THttpCli::onConnected(int error) {
    if (m_state != THttpState::httpDnsLookupDone) {
        return;
    }
    if (error > WSABASEERR) {
        fail(error, socketErrorDesc(error) + " (Error #" + std::to_string(error) + ")", error);
        return;
    }
    if (error != 0) {
        // The tunnel or the TLS session failed: a status of its own, no socket code.
        const std::string text = tlsFailureText(error);
        fail(error, text.empty() ? "Tunnel refused by the proxy" : text, 0);
        return;
    }
    setState(THttpState::httpConnected);
    fire(OnSessionConnected);
    if (m_state != THttpState::httpConnected) {
        return;  // aborted from the handler
    }
    setState(THttpState::httpWaitingHeader);
    sendRequest();
}

void THttpCli::sendRequest() {
    fire(OnRequestHeaderBegin);
    HttpRequestHeader header = m_requestFields;
    header.requestPath = m_target.requestPath;
    header.host = m_target.hostField;
    // Inside a tunnel the request is the server's: the proxy's login went with the CONNECT.
    header.viaProxy = !m_proxy.empty() && m_target.tunnel.empty();
    header.persistent = m_persistent;
    HttpCommandHook hook;
    if (OnCommand) {
        hook = [this](std::string& line) { OnCommand(*this, line); };
    }
    const std::string request = composeHttpRequest(header, hook);
    info().acceptRanges.clear();
    fire(OnRequestHeaderEnd);
    m_transport->send(request);
}

void THttpCli::onDataAvailable() {
    std::array<char, 1024> discard{};
    const bool wanted = m_parser.reading() && (m_state == THttpState::httpWaitingHeader ||
                                               m_state == THttpState::httpWaitingBody);
    if (!wanted) {
        // Taken all the same, so that the socket reports the next bytes and its close. A
        // connection that speaks unasked carries no further request.
        if (m_transport->receive(discard.data(), discard.size()) > 0) {
            m_kept.drop();
        }
        return;
    }
    if (m_parser.phase() == HttpResponseParser::Phase::Body) {
        receiveBodyBlock();
        return;
    }
    const std::size_t count = m_transport->receive(m_parser.space(), m_parser.room());
    if (count == 0) {
        return;
    }
    m_onKeptConnection = false;
    m_parser.commit(count);
    if (m_finished) {
        return;
    }
    if (m_parser.phase() == HttpResponseParser::Phase::LineTooLong) {
        fail(kHttpClientFailure, "Header line too long", 0);
    } else if (m_parser.phase() == HttpResponseParser::Phase::BadStatusLine) {
        fail(kHttpClientFailure, "Invalid status line", 0);
    } else if (m_parser.phase() == HttpResponseParser::Phase::TooManyInterim) {
        fail(kHttpClientFailure, "Too many interim (1xx) answers", 0);
    }
}

// The body moves in blocks: read until the connection has nothing more to give or a block is
// full, then hand the block on as one piece (one write to the file, one progress report).
void THttpCli::receiveBodyBlock() {
    constexpr std::size_t size = TWSocket::ReadBlockSize;
    if (!m_bodyBlock) {
        m_bodyBlock = std::make_unique_for_overwrite<char[]>(size);
    }
    std::size_t filled = 0;
    while (filled < size) {
        const std::size_t asked = size - filled;
        const std::size_t count = m_transport->receive(m_bodyBlock.get() + filled, asked);
        filled += count;
        if (count < asked) {
            break;
        }
    }
    m_parser.takeBody(m_bodyBlock.get(), filled);
}

void THttpCli::onHeaderBegin() {
    // The range reported is the one of the response being read, if it has one.
    m_contentRangeBegin.clear();
    m_contentRangeEnd.clear();
    fire(OnHeaderBegin);
}

void THttpCli::onHeaderData(const std::string&) {
    if (info().contentRangeSeen) {
        m_contentRangeBegin = info().contentRangeBegin;
        m_contentRangeEnd = info().contentRangeEnd;
    }
    fire(OnHeaderData);
    // Nothing more of an error response is read; what came with its status line still is.
    // With keep-alive the header says first whether its body is short enough to read past.
    if (info().statusCode >= 400 && !m_finished && !m_persistent) {
        closeConnection();
    }
}

void THttpCli::onHeaderEnd() {
    const bool body = m_parser.phase() == HttpResponseParser::Phase::Body;
    if (body) {
        m_framing.start(info(), m_persistent);
        if (m_framing.kind() == HttpBodyFraming::Kind::Chunked) {
            info().contentLength = -1;  // a length beside the chunked coding means nothing
        }
    }
    // An error page is read to its end (and the connection kept) only when its length is known
    // and small; otherwise its connection ends here, as without keep-alive.
    if (m_persistent && info().statusCode >= 400 && !m_finished &&
        !(body && m_framing.kind() == HttpBodyFraming::Kind::Length &&
          info().responseLength <= MaxKeptBody)) {
        closeConnection();
    }
    if (m_parser.phase() == HttpResponseParser::Phase::Redirect) {
        fire(OnHeaderEnd);
        if (!m_finished && m_state != THttpState::httpAborting) {
            followRedirect();
        }
        return;
    }
    m_docName = htmlDocName(m_docName, info().contentType);
    setState(THttpState::httpWaitingBody);
    fire(OnHeaderEnd);
    if (m_framing.complete() && m_state == THttpState::httpWaitingBody) {
        endBody();  // an answer without a body
    }
}

void THttpCli::followRedirect() {
    // A page that redirects to itself would otherwise be asked for again and again.
    if (m_redirects == MaxRedirects) {
        fail(kHttpTooManyRedirects, "Too many redirects", 0);
        return;
    }
    ++m_redirects;
    const auto next =
        resolveHttpRedirect(m_target.url, info().location.value_or(""), m_followHttps);
    const std::string connection = KeptConnection::keyOf(m_target, m_verifyCertificates);
    if (!next) {
        // Another scheme or nothing at all: the request ends here with the redirect's status,
        // and its connection may serve the next request.
        readRedirectBody();
        return;
    }
    const HttpTarget target = makeHttpTarget(*next, m_proxy, m_proxyPort);
    if (target.targetHost != m_target.targetHost || (m_target.secure && !target.secure)) {
        // Credentials belong to the host they were given for, and never leave TLS for plain text.
        m_requestFields.Username.clear();
        m_requestFields.Password.clear();
    }
    m_target = target;
    m_location = m_target.url;
    m_redirecting = true;
    if (KeptConnection::keyOf(m_target, m_verifyCertificates) == connection) {
        readRedirectBody();  // the next location goes over the same connection
    } else {
        closeConnection();
    }
}

// With keep-alive a redirect's body of known length up to MaxKeptBody, or a chunked one that
// ends within MaxKeptBody bytes, is read (and dropped) to its end, so that its connection goes
// on; any other closes it, and the close leads on as without keep-alive.
void THttpCli::readRedirectBody() {
    m_framing.start(info(), m_persistent);
    const bool bounded =
        m_framing.kind() == HttpBodyFraming::Kind::Chunked ||
        (m_framing.kind() == HttpBodyFraming::Kind::Length && info().responseLength <= MaxKeptBody);
    if (!m_framing.reusable() || !bounded) {
        closeConnection();
        return;
    }
    m_readingRedirect = true;
    m_redirectBodyBytes = 0;
    m_parser.readRedirectBody();
    if (m_framing.complete()) {
        redirectBodyRead();
    }
}

void THttpCli::takeRedirectBody(std::string_view bytes) {
    // What is left of the allowance, so a long chunked body is not read on in one block.
    const auto allowance = static_cast<std::size_t>(MaxKeptBody - m_redirectBodyBytes);
    const std::size_t taken = m_framing.take(bytes.substr(0, allowance), discardedBody());
    m_redirectBodyBytes += static_cast<std::int64_t>(taken);
    if (m_framing.complete()) {
        redirectBodyRead();
        if (taken < bytes.size()) {
            m_kept.drop();  // bytes past the body: the connection is out of step
        }
    } else if (m_framing.failed() || m_redirectBodyBytes >= MaxKeptBody) {
        m_readingRedirect = false;
        closeConnection();
    }
}

void THttpCli::redirectBodyRead() {
    m_readingRedirect = false;
    m_bodyEnded = true;
    m_kept.keep(KeptConnection::keyOf(m_target, m_verifyCertificates),
                KeptConnection::Clock::now());
    if (!m_redirecting) {
        finish();
        return;
    }
    m_redirecting = false;
    m_nextOnKeptConnection = true;
    fire(OnLocationChange);
    m_loop.post(m_handle, WM_HTTP_LOCATION, m_request);
}

// The next location of a redirect goes over the connection the redirect came on while that
// still serves it, otherwise over a fresh one.
void THttpCli::requestNextLocation() {
    m_parser.startResponse();
    m_bodyEnded = false;
    if (m_nextOnKeptConnection) {
        const bool reuse = m_transport->open() &&
                           m_kept.serves(KeptConnection::keyOf(m_target, m_verifyCertificates),
                                         KeptConnection::Clock::now());
        m_kept.drop();
        if (!reuse && m_transport->open()) {
            m_transport->close();  // its close reports nothing while m_nextOnKeptConnection
        }
        m_nextOnKeptConnection = false;
        if (reuse) {
            m_onKeptConnection = true;
            sendOnKeptConnection();
            return;
        }
    }
    startLookup();
}

void THttpCli::onBody(const char* data, std::size_t length) {
    if (m_bodyEnded) {
        m_kept.drop();  // bytes past the end of the body: the connection is out of step
        return;
    }
    if (m_readingRedirect) {
        takeRedirectBody(std::string_view(data, length));
        return;
    }
    const std::size_t taken = m_framing.take(std::string_view(data, length), *this);
    if (m_framing.failed()) {
        fail(kHttpClientFailure, "Bad chunked body: " + m_framing.failure(), 0);
    } else if (m_framing.complete()) {
        // Bytes past the body in the same read: the connection is out of step.
        endBody(taken == length);
    }
}

void THttpCli::onDecoded(const char* data, std::size_t length) {
    if (m_bodyPieces++ == 0) {
        fire(OnDocBegin);
    }
    m_rcvdCount += static_cast<std::int64_t>(length);
    fire(OnDocData, data, length);
}

void THttpCli::endBody(bool inStep) {
    m_bodyEnded = true;
    if (m_finished || m_state == THttpState::httpAborting) {
        return;
    }
    if (!inStep || !m_framing.reusable()) {
        closeConnection();
        return;
    }
    m_kept.keep(KeptConnection::keyOf(m_target, m_verifyCertificates),
                KeptConnection::Clock::now());
    finish();
}

void THttpCli::closeConnection() {
    if (m_transport->open()) {
        m_transport->close();  // onClosed follows within
    } else {
        onClosed(0);
    }
}

void THttpCli::onClosed(int) {
    m_kept.drop();
    m_readingRedirect = false;
    if (m_finished || m_nextOnKeptConnection) {
        return;
    }
    if (m_onKeptConnection && m_state == THttpState::httpWaitingHeader) {
        // The server had closed the kept connection: once more on a fresh one.
        m_onKeptConnection = false;
        m_loop.post(m_handle, WM_HTTP_RECONNECT, m_request);
        return;
    }
    m_bodyCut = m_bodyPieces > 0 && m_framing.kind() != HttpBodyFraming::Kind::UntilClose &&
                !m_framing.complete();
    if (!m_redirecting) {
        finish();
        return;
    }
    m_redirecting = false;
    fire(OnLocationChange);
    m_loop.post(m_handle, WM_HTTP_LOCATION, m_request);
}

void THttpCli::fail(int statusCode, std::string reasonPhrase, int requestDoneError) {
    if (m_finished) {
        return;
    }
    info().statusCode = statusCode;
    info().reasonPhrase = std::move(reasonPhrase);
    m_requestDoneError = requestDoneError;
    m_redirecting = false;
    m_nextOnKeptConnection = false;
    m_parser.halt();
    closeConnection();
}

void THttpCli::finish() {
    m_finished = true;
    if (m_bodyPieces > 0) {
        fire(OnDocEnd);
    }
    m_loop.post(m_handle, WM_HTTP_SET_READY, m_request);
}

void THttpCli::Abort() {
    if (m_state == THttpState::httpReady) {
        if (m_transport->open()) {
            m_transport->close();
        }
        return;
    }
    if (m_state == THttpState::httpAborting) {
        return;
    }
    const bool wasLookingUp = m_state == THttpState::httpDnsLookup;
    setState(THttpState::httpAborting);
    if (wasLookingUp) {
        m_transport->cancelLookup();
    }
    // A request whose connection is already over keeps the status it ended with.
    if (!m_finished) {
        fail(kHttpLookupOrAbort, "Connection aborted on request", AbortedError);
    }
    m_requestDoneError = AbortedError;
    setState(THttpState::httpReady);
}

void THttpCli::onMessage(const Message& message) {
    // Messages of a request that is over are stale: a late "ready" must not end the next one.
    const bool current = message.wParam == m_request;
    switch (message.number) {
        case WM_HTTP_SET_READY:
            if (current) {
                setState(THttpState::httpReady);
            }
            break;
        case WM_HTTP_REQUEST_DONE:
            fire(OnRequestDone, m_requestType, static_cast<int>(message.lParam));
            break;
        case WM_HTTP_LOCATION:
        case WM_HTTP_RECONNECT:
            if (current && m_state != THttpState::httpReady && !m_finished) {
                requestNextLocation();
            }
            break;
        default:
            break;
    }
}

}  // namespace quillharbor
