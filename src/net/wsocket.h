#pragma once

#include "net/line_assembler.h"
#include "net/send_chain.h"
#include "net/socket_address.h"
#include "net/socket_state.h"
#include "net/socks_negotiator.h"
#include "platform/message_loop.h"

#include <netinet/in.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace quillharbor {

// The event-driven TCP (and UDP) endpoint under the HTTP and FTP clients. Nothing blocks: a call
// starts the work and events report its end from the message loop. Outgoing bytes are copied
// into a chain of 1514-byte chunks and drained as the network takes them; line mode hands
// incoming bytes out one line at a time; a SOCKS 4, 4A or 5 negotiation can run before the
// session is reported connected.
//
// Threads: a socket belongs to the thread of its loop; no call may come from another thread.
//
// Events are fired only when assigned, always from the loop, with these exceptions the owner
// relies on: DnsLookup of a dotted address or of an empty name and CancelDnsLookup report
// OnDnsLookupDone within the call, a datagram Connect or Listen reports OnSessionConnected within
// it, and a send failure found inside Send can report OnSessionClosed within it. Handlers may call
// anything on the socket, assign events (the handler running keeps running), and destroy the
// socket; handlers can also be entered from the pumps inside Flush, WaitForClose and
// WaitUntilReady.
//
// Failures are reported in one of two ways. Misuse and failures of the owner's own calls are
// "raised": OnError fires when assigned (LastError holds the code where there is one), else
// ESocketException is thrown to the caller. An exception escaping a handler called from the loop
// goes to OnBgException (CanClose preset to true; Abort follows unless it is cleared) and never
// reaches the loop. Network failures of a session arrive as the Error argument of the events.
//
// One session runs from Connect, Listen or Dup to the close; OnSessionClosed fires at most once
// per session. Every close resets the per-session settings: Addr and Port must be assigned
// again before the next Connect, and the SOCKS settings (SocksServer, SocksPort, SocksLevel)
// must be set again for the next session to use SOCKS.
//
// Addresses are IPv4 or IPv6 alike: Addr, LocalAddr and the look-ups take dotted and IPv6
// literals (the latter also in URL brackets), and the names a socket reports are dotted or
// compressed IPv6 text. A name may have several addresses: a stream Connect to the DnsResult of
// the socket's own last look-up tries every address of DnsResultList in turn, the next one
// ConnectHeadStart after the one before while that one keeps trying (and at once when it
// fails); the first to connect is the session and the others are closed. OnSessionConnected
// fires once, with 0 for that one or with the error of the last one to fail. Through SOCKS, with
// a local address or port to bind, or for datagrams, only Addr is tried.
class TWSocket : public MessageTarget {
public:
    static constexpr unsigned WM_ASYNCSELECT = WM_USER + 1;
    static constexpr unsigned WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
    static constexpr unsigned WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
    static constexpr unsigned WM_CLOSE_DELAYED = WM_USER + 4;
    static constexpr unsigned WM_WSOCKET_RELEASE = WM_USER + 5;
    static constexpr unsigned WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

    static constexpr int ChunkSize = TBuffer::DefaultSize;
    // The receive loop of one read notification ends once this many bytes were taken, so that
    // the loop's other sockets and timers are served between blocks; the rest is reported at
    // once by the next notification. Readers that move bulk data read blocks of this size.
    static constexpr int ReadBlockSize = 256 * 1024;
    // How long one address of a name is tried alone before the next one joins in.
    static constexpr std::chrono::milliseconds ConnectHeadStart{250};

    explicit TWSocket(MessageLoop& loop);
    ~TWSocket() override;
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Sockets alive in the process, so tests can show none was left behind.
    static int liveCount();

    // ---- events (Error is a Windows Sockets code or a SOCKS code, 0 for success) ----
    using ErrorEvent = std::function<void(TWSocket& sender, int error)>;
    ErrorEvent OnDataAvailable;     // bytes, or in line mode one complete line, can be read
    ErrorEvent OnDataSent;          // the send buffer has become empty
    ErrorEvent OnSessionConnected;  // a connect finished (0) or failed
    ErrorEvent OnSessionAvailable;  // a listening socket has a connection to accept
    ErrorEvent OnSessionClosed;     // the session ended
    ErrorEvent OnDnsLookupDone;     // a look-up finished, failed or was cancelled (10004)
    ErrorEvent OnSocksConnected;    // the TCP connection to the SOCKS server finished
    std::function<void(TWSocket& sender, int bytesSent)> OnSendData;
    std::function<void(TWSocket& sender, TSocketState oldState, TSocketState newState)>
        OnChangeState;
    std::function<void(TWSocket& sender)> OnError;
    std::function<void(TWSocket& sender, const std::exception& e, bool& canClose)> OnBgException;
    std::function<void(TWSocket& sender, int error, const std::string& msg)> OnSocksError;
    std::function<void(TWSocket& sender, TSocksAuthState authState)> OnSocksAuthState;
    std::function<void(TWSocket& sender)> OnLineTooLong;  // published, never fired

    // ---- name look-ups ----
    // Starts a look-up of a host name; DnsResult and DnsResultList hold the addresses when
    // OnDnsLookupDone reports 0, in the order Connect tries them. A dotted address or an IPv6
    // literal is answered within the call (DnsResult its normal text, DnsResultList empty).
    void DnsLookup(const std::string& host);
    // Starts a look-up of the name of a dotted address.
    void ReverseDnsLookup(const std::string& address);
    void CancelDnsLookup();

    // ---- sessions ----
    void Connect();
    // Binds to Addr:Port and listens (TCP), or opens a bound datagram endpoint (UDP).
    void Listen();
    // Takes a waiting connection of a listening socket; returns its descriptor (or -1), which
    // the caller hands to Dup of another socket or closes itself.
    int Accept();
    // Adopts an accepted descriptor and becomes wsConnected.
    void Dup(int fd);
    // Orderly close: shuts sending down, closes, reports the session closed.
    void Close();
    // Close from the loop, later.
    void CloseDelayed();
    // Immediate close: cancels a look-up and drops unsent data.
    void Abort();
    void Shutdown(int how);
    // Stop and restart the socket's notifications.
    void Pause();
    void Resume();
    // Destroys the socket from the loop, later. The socket takes ownership of itself; should the
    // loop be destroyed before that message is handled, the socket is leaked.
    static void Release(std::unique_ptr<TWSocket> socket);

    // ---- data ----
    // Queues bytes and returns `length`; 0 for length <= 0; -1 when the session is not
    // connected (error 10057). OnDataSent follows from the loop once everything went out.
    int Send(const void* data, int length);
    int SendStr(const std::string& text);
    // One datagram to `to`; the count sent or -1 (LastError).
    int SendTo(const sockaddr_in& to, const void* data, int length);
    // Up to `size` bytes; -1 on error (LastError; 10035 when nothing waits).
    int Receive(void* buffer, int size);
    // Everything waiting (in line mode: the offered line); empty when nothing or on error.
    std::string ReceiveStr();
    int ReceiveFrom(void* buffer, int size, sockaddr_in& from);

    // ---- pumps (handlers of this and other objects run inside; the socket may be destroyed
    // meanwhile, which ends them) ----
    // Until everything buffered was sent or the session is gone.
    void Flush();
    // Until the session is closed, delivering data as it comes.
    void WaitForClose();
    // Processes what is pending on the loop.
    void MessagePump();
    // Until `flag` is set: 0, or 12001 when SyncTimeout (ms, when positive) passed or the socket
    // was destroyed meanwhile.
    int WaitUntilReady(bool& flag);
    // Clears `flag`, runs `operation` when given and waits for the flag.
    int Synchronize(const std::function<void()>& operation, bool& flag);

    // ---- properties ----
    const std::string& Addr() const { return m_addr; }
    void setAddr(const std::string& value);
    const std::string& Port() const { return m_port; }
    void setPort(const std::string& value);
    const std::string& Proto() const { return m_proto; }
    void setProto(const std::string& value);
    const std::string& LocalAddr() const { return m_localAddr; }
    void setLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return m_localPort; }
    void setLocalPort(const std::string& value);
    // "error" unless wsConnected.
    std::string PeerAddr();
    std::string PeerPort();
    // The bound local port in decimal; "error" unless wsBound, wsConnected or wsListening.
    std::string GetXPort();
    // The local and peer addresses; 0, or -1 with LastError set.
    int GetSockName(SocketAddress& name);
    int GetPeerName(SocketAddress& name);
    const std::string& DnsResult() const { return m_dnsResult; }
    const std::vector<std::string>& DnsResultList() const { return m_dnsResultList; }
    TSocketState State() const { return m_state; }
    // Bytes taken by Receive since the session began.
    std::int64_t ReadCount() const { return m_readCount; }
    // Bytes waiting to be read (in line mode: the offered line); -1 when the query failed.
    int RcvdCount();
    int LastError() const { return m_lastError; }
    int handle() const { return m_fd; }

    // One loop serves every socket, so both pumps are the same; kept for the owners that set it.
    bool MultiThreaded() const { return m_multiThreaded; }
    void setMultiThreaded(bool value) { m_multiThreaded = value; }
    bool hasComponentOption(TWSocketOption option) const;
    void setComponentOptions(std::initializer_list<TWSocketOption> options);
    // Published without effect.
    int FlushTimeout() const { return m_flushTimeout; }
    void setFlushTimeout(int value) { m_flushTimeout = value; }
    TSocketSendFlags SendFlags() const { return m_sendFlags; }
    void setSendFlags(TSocketSendFlags value);
    TSocketLingerOnOff LingerOnOff() const { return m_lingerOnOff; }
    void setLingerOnOff(TSocketLingerOnOff value) { m_lingerOnOff = value; }
    int LingerTimeout() const { return m_lingerTimeout; }
    void setLingerTimeout(int value) { m_lingerTimeout = value; }
    int SyncTimeout() const { return m_syncTimeout; }
    void setSyncTimeout(int milliseconds) { m_syncTimeout = milliseconds; }

    const std::string& SocksLevel() const { return m_socksLevel; }
    void setSocksLevel(const std::string& value);
    const std::string& SocksServer() const { return m_socksServer; }
    void setSocksServer(const std::string& value);
    const std::string& SocksPort() const { return m_socksPort; }
    void setSocksPort(const std::string& value);
    const std::string& SocksUsercode() const { return m_socksUsercode; }
    void setSocksUsercode(const std::string& value) { m_socksUsercode = value; }
    const std::string& SocksPassword() const { return m_socksPassword; }
    void setSocksPassword(const std::string& value) { m_socksPassword = value; }
    TSocksAuthentication SocksAuthentication() const { return m_socksAuthentication; }
    void setSocksAuthentication(TSocksAuthentication value) { m_socksAuthentication = value; }
    // What the SOCKS server reported as bound for the connection.
    const std::string& socksBoundAddr() const { return m_socks.boundAddr(); }
    const std::string& socksBoundPort() const { return m_socks.boundPort(); }

    bool LineMode() const { return m_lineMode; }
    void setLineMode(bool value);
    const std::string& LineEnd() const { return m_line.lineEnd(); }
    void setLineEnd(const std::string& value) { m_line.setLineEnd(value); }
    bool LineEcho() const { return m_lineEcho; }
    void setLineEcho(bool value) { m_lineEcho = value; }
    bool LineEdit() const { return m_lineEdit; }
    void setLineEdit(bool value) { m_lineEdit = value; }

    void onMessage(const Message& message) override;

private:
    using Lifetime = std::weak_ptr<int>;

    // messages
    void dispatch(const Message& message);
    void onSelect(int fd, unsigned events, int error);
    void onLookupDone(std::uintptr_t request, int error);
    void onTimer(unsigned timerId);
    void redeliverBuffered();

    // events; each returns false when the handler destroyed the socket
    template <typename Event, typename... Args>
    bool fire(const Event& event, Args&&... args);
    bool fireDataAvailable(int error, bool& handled);
    bool fireSessionConnected(int error);
    bool fireSessionClosed(int error);
    bool fireLookupDone(int error) { return fire(OnDnsLookupDone, error); }
    void fireBgException(const std::exception& e);
    void setState(TSocketState state);
    void assignEndpointPart(const std::string& value, const char* name, std::string& part,
                            bool& assigned, bool& resolved);
    bool beginLookup(const std::string& name);
    static bool alive(const Lifetime& lifetime) { return !lifetime.expired(); }

    // failures
    void raiseException(const std::string& text);
    void socketError(const std::string& function, int code);

    // sessions
    bool resolveForConnect(SocksRequest& socks);
    void collectFallbacks();
    bool createSocket(const char* function);
    bool bindLocal();
    void applyLinger();
    bool selectEvents(unsigned events, const char* function, SocketRole role = SocketRole::Unknown);
    void internalClose(bool shutdownFirst, int error);
    int closeHandle();
    void resetSession();
    bool socksActive() const { return !m_socksServer.empty(); }
    bool bindsLocally() const { return m_localPortNumber != 0 || m_localAddr != "0.0.0.0"; }
    bool negotiating() const { return m_socks.phase() != SocksNegotiator::Phase::None; }

    // the race of a name's addresses (wsocket_race.cpp)
    void startConnect(int fd, const SocketAddress& address);
    int openAttempt(const SocketAddress& address);
    int openNextFallback();
    void startRacer();
    void restartHeadStart();
    bool attemptFailed(int fd);
    void racerEvent(int fd, unsigned events, int error);
    void dropAttempt(int fd);
    void endRace();

    // data
    void queueSend(const void* data, int length);
    void tryToSend();
    ssize_t sendSome(int flags, std::size_t& offered);
    int receiveRaw(void* buffer, int size);
    int lowerReceive(void* buffer, int size);
    int networkReceive(void* buffer, int size);
    int networkCount();
    bool receiveLoop(int error, bool closing);
    void afterNetworkReceive(ssize_t received, int size, int error);
    bool lineModeActive() const { return m_lineMode && !m_line.lineEnd().empty(); }
    void lineDataAvailable();
    bool offerLines();
    bool offerRest();

    // SOCKS stage
    void socksDataAvailable();
    void socksConnected(int error);
    void onSocksStep(SocksStep step);
    void socksFail(int code, const std::string& text);

    MessageLoop& m_loop;
    Handle m_handle = 0;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    std::unique_ptr<TWSocket> m_released;
    bool m_destroying = false;

    int m_fd = -1;
    TSocketState m_state = TSocketState::wsClosed;
    std::uint64_t m_session = 0;

    std::string m_addr;
    std::string m_port;
    std::string m_proto = "tcp";
    std::string m_localAddr = "0.0.0.0";
    std::string m_localPort = "0";
    bool m_addrAssigned = false;
    bool m_addrResolved = false;
    bool m_portAssigned = false;
    bool m_portResolved = false;
    bool m_protoAssigned = true;
    bool m_protoResolved = false;
    bool m_localPortResolved = false;
    SocketAddress m_remote = SocketAddress::any(AF_INET);
    std::uint16_t m_remotePortNumber = 0;
    int m_protoNumber = 6;
    int m_socketType = 0;
    std::uint16_t m_localPortNumber = 0;
    unsigned m_selectedEvents = 0;
    std::vector<SocketAddress> m_fallbacks;  // addresses of the name still to try, in order
    std::vector<int> m_racers;               // connects in flight beside m_fd
    unsigned m_headStartTimer = 0;

    SendChain m_sendChain{ChunkSize};
    bool m_allSent = true;
    bool m_closeInvoked = false;
    bool m_paused = false;
    std::uint64_t m_receiveCalls = 0;
    std::int64_t m_networkBytes = 0;  // taken from the system since the socket was made
    int m_receiveLoops = 0;           // receive loops running (a handler's pump may nest one)
    bool m_readDrained = false;       // the last network receive emptied the socket
    bool m_peerClosed = false;        // a network receive found the peer's end of stream
    bool m_closeQueued = false;       // the peer's close waits behind a block still to read
    bool m_blockRead = false;         // the last read notification stopped at a full block
    std::int64_t m_readCount = 0;
    int m_lastError = 0;

    std::uintptr_t m_dnsRequest = 0;
    std::string m_dnsResult;
    std::vector<std::string> m_dnsResultList;

    bool m_multiThreaded = false;
    unsigned m_componentOptions = 0;
    int m_flushTimeout = 60;
    TSocketSendFlags m_sendFlags = TSocketSendFlags::wsSendNormal;
    TSocketLingerOnOff m_lingerOnOff = TSocketLingerOnOff::wsLingerOn;
    int m_lingerTimeout = 0;
    int m_syncTimeout = 0;

    std::string m_socksLevel = "5";
    std::string m_socksServer;
    std::string m_socksPort;
    std::string m_socksUsercode;
    std::string m_socksPassword;
    TSocksAuthentication m_socksAuthentication = TSocksAuthentication::socksNoAuthentication;
    SocksNegotiator m_socks;
    std::string m_socksPending;  // bytes behind the final SOCKS reply, handed out first

    bool m_lineMode = false;
    bool m_lineEcho = false;
    bool m_lineEdit = false;
    LineAssembler m_line;
};

template <typename Event, typename... Args>
bool TWSocket::fire(const Event& event, Args&&... args) {
    if (!event || m_destroying)
        return true;
    const Lifetime lifetime = m_lifetime;
    // A copy, so that a handler may assign its own event while it runs.
    const Event handler = event;
    handler(*this, std::forward<Args>(args)...);
    return alive(lifetime);
}

}  // namespace quillharbor
