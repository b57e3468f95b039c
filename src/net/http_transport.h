#pragma once

#include <cstddef>
#include <string>

namespace quillharbor {

class TWSocket;

// How the session of the next connect is secured before the client speaks: not at all, or with
// TLS toward serverName, first through a proxy's CONNECT tunnel when tunnelRequest is set.
struct HttpSessionPlan {
    bool tls = false;
    std::string serverName;
    bool verify = true;
    std::string tunnelRequest;  // the CONNECT request the proxy is sent first
};

// The connection THttpCli runs a request over: a name look-up, one TCP session, its bytes and
// its end. The real one sits on TWSocket; tests put a scripted one in its place.
class HttpTransport {
public:
    // What the connection reports. Any report may come from inside the call that caused it
    // (a dotted address is looked up at once, close() reports the close within the call).
    class Events {
    public:
        virtual ~Events() = default;
        // error is a Windows Sockets code; address is dotted when error is 0.
        virtual void onLookupDone(int error, const std::string& address) = 0;
        // error: a Windows Sockets code, or the status of a refused tunnel or a failed TLS
        // handshake (tls_failure.h); 0 once the session (secured as planned) is ready.
        virtual void onConnected(int error) = 0;
        virtual void onDataAvailable() = 0;
        // At most once per session.
        virtual void onClosed(int error) = 0;
    };

    virtual ~HttpTransport() = default;

    // Set once, before any other call.
    virtual void setEvents(Events& events) = 0;
    virtual void lookup(const std::string& host) = 0;
    // No onLookupDone follows that the client would take for an answer.
    virtual void cancelLookup() = 0;
    // For the next connect; a transport that cannot secure a session ignores it.
    virtual void plan(const HttpSessionPlan&) {}
    virtual void connect(const std::string& address, const std::string& port) = 0;
    virtual void send(const std::string& bytes) = 0;
    // Bytes taken into buffer; 0 when none were waiting or on error.
    virtual std::size_t receive(char* buffer, std::size_t size) = 0;
    // Ends the session; onClosed comes within the call when one was open.
    virtual void close() = 0;
    virtual bool open() const = 0;
    // The socket underneath, for the owner's error events; nullptr when there is none.
    virtual TWSocket* socket() = 0;
};

}  // namespace quillharbor
