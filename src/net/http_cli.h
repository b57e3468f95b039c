#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/http_body_framing.h"
#include "net/http_kept_connection.h"
#include "net/http_request_header.h"
#include "net/http_response_parser.h"
#include "net/http_state.h"
#include "net/http_status.h"
#include "net/http_target.h"
#include "net/http_transport.h"
#include "platform/message_loop.h"

namespace quillharbor {

// Fetches one URL at a time over HTTP/1.0 with GET, directly or through a proxy: looks the host
// up, connects, sends the request, reads the status and header lines, follows redirects by
// itself (at most MaxRedirects of them), streams the body to OnDocData and reports the end through
// OnRequestDone. The end of the body is the end of the connection. There is no time-out: the owner
// aborts requests that take too long.
//
// With KeepAlive() the requests are HTTP/1.1 with keep-alive: a body ends after its length or
// its last chunk (the chunked coding undone before OnDocData), and a connection the server keeps
// serves the next request to the same server, port and session kind (KeptConnection). When a kept
// connection turns out closed before any byte of the answer came, the request goes once more over
// a fresh connection, unseen by the owner. A redirect's short body is read and dropped, so that
// its connection carries the next location when that is on the same server, or the next request
// when the redirect ends the request.
//
// Interim answers (100 Continue, 102, 103 Early Hints) before the real one are skipped, with or
// without keep-alive; past HttpResponseParser::MaxInterimLines of them the request ends with 800.
//
// Threads: everything runs on the loop's thread; events fire from it.
//
// Order of events for the owner: OnSessionConnected, OnHeaderBegin, OnHeaderData..., OnHeaderEnd,
// OnDocBegin, OnDocData..., OnDocEnd (OnLocationChange and a new header between them for each
// redirect), then OnRequestDone. OnRequestDone fires exactly once per request, always from a
// later dispatch of the loop, after State() has become httpReady; a new request may be started
// from it or later. Handlers may call Abort(); they must not destroy the client.
//
// A status of 400 or more closes the connection as soon as its line is handled (with KeepAlive(),
// at the end of its header unless its body is short and of known length); bytes that came with
// it are still handled. StatusCode() is then the server's, or after a failure of the client
// itself: 800 (a header line longer than the buffer, or a malformed status line), 801 (the host
// could not be looked up, or Abort), 802 (more than MaxRedirects redirects), 803 to 807 (the TLS
// session of an https URL could not be set up, tls_failure.h), the proxy's status when it refused
// the tunnel to an https URL, a Windows Sockets code above 10000 (the connect failed).
//
// An https URL is fetched over TLS (port 443 by default), through a proxy by a CONNECT tunnel;
// the server's certificate is verified unless VerifyCertificates() is off.
class THttpCli : private MessageTarget,
                 private HttpTransport::Events,
                 private HttpResponseParser::Handler,
                 private ChunkedDecoder::Sink {
public:
    // Posted to the client's own target; wParam is the request's serial number.
    static constexpr unsigned WM_HTTP_REQUEST_DONE = WM_USER + 1;
    static constexpr unsigned WM_HTTP_SET_READY = WM_USER + 2;
    static constexpr unsigned WM_HTTP_LOCATION = WM_USER + 3;
    static constexpr unsigned WM_HTTP_RECONNECT = WM_USER + 4;
    // A redirect past this many ends the request with kHttpTooManyRedirects.
    static constexpr int MaxRedirects = 20;
    // With KeepAlive(), an error page or a redirect up to this long is read whole and its
    // connection kept.
    static constexpr std::int64_t MaxKeptBody = 64 * 1024;

    explicit THttpCli(MessageLoop& loop);
    // With another transport in place of the control socket.
    THttpCli(MessageLoop& loop, std::unique_ptr<HttpTransport> transport);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Starts a GET of URL() and returns at once. Raises EHttpException "HTTP component is busy"
    // (code 1) unless State() is httpReady.
    void GetASync();
    // Stops the request in progress: StatusCode() 801, OnRequestDone with error 3. On an idle
    // client it closes the control socket when that is open.
    void Abort();

    // ---- events (each fires only when assigned) ----
    using NotifyEvent = std::function<void(THttpCli& sender)>;
    NotifyEvent OnSessionConnected;
    NotifyEvent OnRequestHeaderBegin;
    NotifyEvent OnRequestHeaderEnd;
    // Every request line before it is stored; the handler may change it.
    std::function<void(THttpCli& sender, std::string& line)> OnCommand;
    NotifyEvent OnHeaderBegin;
    NotifyEvent OnHeaderData;  // RcvdHeader().back() is the line
    NotifyEvent OnHeaderEnd;
    NotifyEvent OnDocBegin;
    // The bytes are valid during the call only.
    std::function<void(THttpCli& sender, const char* data, std::size_t length)> OnDocData;
    // The connection closed after at least one piece of body.
    NotifyEvent OnDocEnd;
    NotifyEvent OnStateChange;
    // A redirect is about to be followed; Location() holds the absolute URL it leads to.
    NotifyEvent OnLocationChange;
    // error: 0, 3 for Abort, or the Windows Sockets code of a failed look-up or connect.
    std::function<void(THttpCli& sender, THttpRequest rqType, int error)> OnRequestDone;

    // ---- properties ----
    const std::string& URL() const { return m_url; }
    void setURL(std::string value) { m_url = std::move(value); }
    // A proxy host, parsed like a URL; non-empty sends every request through it.
    const std::string& Proxy() const { return m_proxy; }
    void setProxy(std::string value) { m_proxy = std::move(value); }
    // Used when Proxy() names no port.
    const std::string& ProxyPort() const { return m_proxyPort; }
    void setProxyPort(std::string value) { m_proxyPort = std::move(value); }
    const std::string& Sender() const { return m_fields.Sender; }
    void setSender(std::string value) { m_fields.Sender = std::move(value); }
    const std::string& Agent() const { return m_fields.Agent; }
    void setAgent(std::string value) { m_fields.Agent = std::move(value); }
    const std::string& Accept() const { return m_fields.Accept; }
    void setAccept(std::string value) { m_fields.Accept = std::move(value); }
    // Sent as the Referer without the user information of its authority.
    const std::string& Reference() const { return m_fields.Reference; }
    void setReference(std::string value) { m_fields.Reference = std::move(value); }
    // Sent to the host of URL() only, never to a host a redirect leads to. A user or password
    // written in the URL takes their place for that request.
    const std::string& Username() const { return m_fields.Username; }
    void setUsername(std::string value) { m_fields.Username = std::move(value); }
    const std::string& Password() const { return m_fields.Password; }
    void setPassword(std::string value) { m_fields.Password = std::move(value); }
    const std::string& ProxyUsername() const { return m_fields.ProxyUsername; }
    void setProxyUsername(std::string value) { m_fields.ProxyUsername = std::move(value); }
    const std::string& ProxyPassword() const { return m_fields.ProxyPassword; }
    void setProxyPassword(std::string value) { m_fields.ProxyPassword = std::move(value); }
    // A redirect to an https URL is followed; off, it ends the request with the redirect's status.
    bool FollowHttps() const { return m_followHttps; }
    void setFollowHttps(bool value) { m_followHttps = value; }
    bool VerifyCertificates() const { return m_verifyCertificates; }
    void setVerifyCertificates(bool value) { m_verifyCertificates = value; }
    // HTTP/1.1 requests that keep their connection for the next one; off, every request is
    // HTTP/1.0 on a connection of its own.
    bool KeepAlive() const { return m_keepAlive; }
    void setKeepAlive(bool value) { m_keepAlive = value; }
    bool NoCache() const { return m_fields.NoCache; }
    void setNoCache(bool value) { m_fields.NoCache = value; }
    // Decimal byte offsets of the range to ask for; either may be empty. GetASync takes them for
    // the request (its redirects ask for the same range) and clears them; after a response they
    // hold the range the last response reported, if it reported one.
    const std::string& ContentRangeBegin() const { return m_contentRangeBegin; }
    void setContentRangeBegin(std::string value) { m_contentRangeBegin = std::move(value); }
    const std::string& ContentRangeEnd() const { return m_contentRangeEnd; }
    void setContentRangeEnd(std::string value) { m_contentRangeEnd = std::move(value); }
    const std::string& AcceptRanges() const { return info().acceptRanges; }

    // ---- results, reset when a request starts and kept until the next one ----
    THttpState State() const { return m_state; }
    int StatusCode() const { return info().statusCode; }
    const std::string& ReasonPhrase() const { return info().reasonPhrase; }
    // -1 when the server sent none.
    std::int64_t ContentLength() const { return info().contentLength; }
    // Lower-cased; empty when the server sent none.
    const std::string& ContentType() const { return info().contentType; }
    // URL() at the start; after a redirect the absolute URL being fetched.
    const std::string& Location() const { return m_location; }
    const std::string& DocName() const { return m_docName; }
    std::int64_t RcvdCount() const { return m_rcvdCount; }
    // The connection ended before the length or the last chunk the answer announced.
    bool BodyCut() const { return m_bodyCut; }
    // The non-empty header lines of every response of the request, oldest first; bounded, so
    // the oldest are dropped past HttpResponseInfo::MaxKeptHeaderBytes.
    const std::deque<std::string>& RcvdHeader() const { return info().headerLines; }
    // No request runs and the last one left its connection open for the next (KeptConnection).
    bool KeepsConnection() const {
        return m_state == THttpState::httpReady && m_transport->open() &&
               m_kept.live(KeptConnection::Clock::now());
    }
    // The control socket, for the owner's OnError, OnBgException and OnSocksError; nullptr
    // under a transport without a socket.
    TWSocket* CtrlSocket() { return m_transport->socket(); }

private:
    const HttpResponseInfo& info() const { return m_parser.info(); }
    HttpResponseInfo& info() { return m_parser.info(); }

    // the state machine
    void setState(THttpState state);
    void startLookup();
    // Sends the request over the connection the last request kept.
    void sendOnKeptConnection();
    HttpSessionPlan sessionPlan() const;
    void sendRequest();
    void followRedirect();
    void readRedirectBody();
    void takeRedirectBody(std::string_view bytes);
    // The redirect's body is over and its connection kept: the request goes on or ends.
    void redirectBodyRead();
    void requestNextLocation();
    // Ends the request with the client's own status: closes what is open, reports once.
    void fail(int statusCode, std::string reasonPhrase, int requestDoneError);
    void closeConnection();
    // The finish handler: runs once per request, when its connection is over.
    void finish();
    template <typename... Args>
    void fire(const std::function<void(THttpCli&, Args...)>& event, Args... args);

    // MessageTarget
    void onMessage(const Message& message) override;
    // HttpTransport::Events
    void onLookupDone(int error, const std::string& address) override;
    void onConnected(int error) override;
    void onDataAvailable() override;
    void receiveBodyBlock();
    void onClosed(int error) override;
    // HttpResponseParser::Handler
    void onHeaderBegin() override;
    void onHeaderData(const std::string& line) override;
    void onHeaderEnd() override;
    void onBody(const char* data, std::size_t length) override;
    // ChunkedDecoder::Sink: body bytes, the transfer coding undone.
    void onDecoded(const char* data, std::size_t length) override;
    // The framed body is whole: the connection is kept for the next request, or closed when it
    // cannot carry one or is out of step (inStep false: bytes came past the body).
    void endBody(bool inStep = true);

    MessageLoop& m_loop;
    Handle m_handle = 0;
    std::unique_ptr<HttpTransport> m_transport;
    HttpResponseParser m_parser{*this};
    std::unique_ptr<char[]> m_bodyBlock;  // made at the first body read, kept for the next ones

    std::string m_url;
    std::string m_proxy;
    std::string m_proxyPort = "80";
    HttpRequestHeader m_fields;
    std::string m_contentRangeBegin;
    std::string m_contentRangeEnd;
    bool m_followHttps = false;
    bool m_verifyCertificates = true;
    bool m_keepAlive = false;

    THttpState m_state = THttpState::httpReady;
    std::uintptr_t m_request = 0;  // serial number of the current request
    THttpRequest m_requestType = THttpRequest::httpNone;
    int m_requestDoneError = 0;
    HttpTarget m_target;
    HttpRequestHeader m_requestFields;  // what this request sends, redirects included
    std::string m_location;
    std::string m_docName;
    std::int64_t m_rcvdCount = 0;
    std::int64_t m_bodyPieces = 0;
    int m_redirects = 0;             // followed by the current request
    bool m_redirecting = false;      // the close of the connection leads to the next location
    bool m_readingRedirect = false;  // the redirect's body is read to keep its connection
    std::int64_t m_redirectBodyBytes = 0;
    // The next location goes over the connection the redirect came on, which a close ends.
    bool m_nextOnKeptConnection = false;
    bool m_finished = true;     // the connection of the current request is over (none runs yet)
    bool m_persistent = false;  // the current request is sent with keep-alive
    HttpBodyFraming m_framing;
    bool m_bodyEnded = false;  // the framed body is whole: more bytes are not of it
    bool m_bodyCut = false;
    KeptConnection m_kept;
    // The request went over a kept connection and nothing of its answer has come yet.
    bool m_onKeptConnection = false;
};

}  // namespace quillharbor
