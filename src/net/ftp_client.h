#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/ftp_local_file.h"
#include "net/ftp_options.h"
#include "net/ftp_reply_reader.h"
#include "net/ftp_request.h"
#include "net/ftp_state.h"
#include "net/wsocket.h"
#include "platform/message_loop.h"

namespace quillharbor {

// An asynchronous FTP client over two sockets: the control connection, which carries commands and
// numbered replies, and the data connection, on which files travel. Every request returns at once
// and ends with OnRequestDone, always posted, so it never runs inside the call that started it.
//
// A request is a single step (one command and its reply, judged by the step's accepted codes) or
// a high-level request: a set of steps run in a fixed order (open, user, password, change
// directory, type, port, restart offset, retrieve, machine list, name list, size, quit), each
// started when the previous one succeeded. A failed step skips every remaining step except quit;
// the request then reports the first failure. A connection opened by connect() stays open for the
// single steps that follow until quit() or an abort.
//
// Data connections are active (the client listens on the control connection's local address and
// sends PORT) in ftpDirect mode and passive (PASV, then a connect to the control connection's
// server, never to the address named in the reply) in every other mode.
//
// Failures:
//  - misuse (a request while another runs, a missing name, ...) goes to OnError when assigned,
//    else FtpException is thrown; the call then does nothing more. Inside a high-level request
//    the request also ends, with 500;
//  - everything the network or the server does ends the request with OnRequestDone and a non-zero
//    Error: the first failing reply code, 500 for a failed look-up or connect of the control
//    connection (Error then carries the socket code) or a control connection that closed, 550 for
//    a data connection that failed or a local file that could not be opened or written, 426 for
//    an abort. ErrorMessage keeps the first failing reply or text.
//
// Threads: everything runs on the loop's thread. Handlers may start requests. Only OnRequestDone
// and OnProgress handlers may destroy the client; the others are notifications.
class TFtpClient : public MessageTarget {
public:
    static constexpr unsigned WM_FTP_REQUEST_DONE = WM_USER + 1;
    // Data is read from the data connection in blocks of this size, with one progress event each,
    // and one block per readiness event, so a fast server cannot keep the loop from its other
    // messages and timers until the whole file is in.
    static constexpr int DataBlockSize = TWSocket::ReadBlockSize;
    static constexpr int AbortedCode = 426;
    static constexpr int ControlFailedCode = 500;
    static constexpr int DataFailedCode = 550;
    // A listing longer than this fails with DataFailedCode: it is held in memory.
    static constexpr std::size_t ListingLimit = 16 << 20;

    explicit TFtpClient(MessageLoop& loop);
    ~TFtpClient() override;
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    // ---- events (each fires only when assigned) ----
    using TextEvent = std::function<void(TFtpClient& sender, std::string& text)>;
    // "> " + every command sent, "< " + every reply line, "! " + the client's own notes.
    TextEvent OnDisplay;
    // Misuse of the client, with its text; without it FtpException is thrown.
    TextEvent OnError;
    // Before each command is sent; may change it.
    TextEvent OnCommand;
    // After each reply line was stored in LastResponse.
    std::function<void(TFtpClient& sender)> OnResponse;
    // The greeting (220) arrived.
    std::function<void(TFtpClient& sender, int error)> OnSessionConnected;
    std::function<void(TFtpClient& sender, int error)> OnSessionClosed;
    std::function<void(TFtpClient& sender)> OnStateChange;
    // A request ended; error 0 is success, otherwise a reply code or a socket code.
    std::function<void(TFtpClient& sender, TFtpRequest request, int error)> OnRequestDone;
    // Before each read of the data connection; count is the bytes of this transfer plus the
    // restart offset. Setting abort closes the data connection and fails the retrieval with 426.
    std::function<void(TFtpClient& sender, std::int64_t count, bool& abort)> OnProgress;
    // An exception escaped from a handler run by the loop. Unless canClose is cleared, the session
    // is stopped with AbortAsync.
    std::function<void(TFtpClient& sender, const std::exception& e, bool& canClose)> OnBgException;

    // ---- single steps (the connection must be open, except for open) ----
    void open();
    void user();
    void password();
    void changeDirectory();
    void size();
    // TYPE I or A, from Binary.
    void type();
    void binaryType();
    void asciiType();
    // PORT or PASV: sets up the data connection of the next transfer.
    void port();
    // REST with the size of LocalFileName, when it exists and is not empty.
    void restartOffset();
    // QUIT, then the control connection is closed.
    void quit();

    // ---- high-level requests ----
    void connect();          // open, user, password
    void receive();          // connect, change directory, type, port, retrieve, quit
    void restartReceive();   // the same with the restart offset before retrieve
    void retrieve();         // port, retrieve into LocalFileName
    void restartRetrieve();  // port, restart offset, retrieve appending to LocalFileName
    void fileSize();         // connect, change directory, size, quit
    // Listings of the current directory into Listing(): port, then MLSD or NLST.
    void machineList();
    void nameList();

    // Stops everything at once: closes the file and both connections and leaves the client ready.
    // A request that was running is reported done later, with 426.
    void AbortAsync();
    // AbortAsync, then waits (pumping the loop) until the client is ready or Timeout seconds
    // passed ("426 Timeout"). Returns whether the client is ready with a step result of 0.
    // Handlers of this and other objects run meanwhile; the client may be destroyed by one of
    // them, which ends the wait (false).
    bool Abort();

    // ---- properties ----
    const std::string& HostName() const { return m_hostName; }
    void setHostName(const std::string& value) { m_hostName = value; }
    // A service name or a number.
    const std::string& Port() const { return m_port; }
    void setPort(const std::string& value) { m_port = value; }
    const std::string& UserName() const { return m_userName; }
    void setUserName(const std::string& value) { m_userName = value; }
    const std::string& PassWord() const { return m_passWord; }
    void setPassWord(const std::string& value) { m_passWord = value; }
    const std::string& HostDirName() const { return m_hostDirName; }
    void setHostDirName(const std::string& value) { m_hostDirName = value; }
    const std::string& HostFileName() const { return m_hostFileName; }
    void setHostFileName(const std::string& value) { m_hostFileName = value; }
    const std::string& LocalFileName() const { return m_localFileName; }
    void setLocalFileName(const std::string& value) { m_localFileName = value; }
    bool Binary() const { return m_binary; }
    void setBinary(bool value) { m_binary = value; }
    bool hasOption(TFtpOption option) const;
    void setOptions(std::initializer_list<TFtpOption> options);
    TFtpConnectionType ConnectionType() const { return m_connectionType; }
    // Only while not connected ("FTP component connected").
    void setConnectionType(TFtpConnectionType value);
    const std::string& ProxyServer() const { return m_proxyServer; }
    void setProxyServer(const std::string& value) { m_proxyServer = value; }
    const std::string& SocksServer() const { return m_socksServer; }
    void setSocksServer(const std::string& value) { m_socksServer = value; }
    const std::string& SocksPort() const { return m_socksPort; }
    void setSocksPort(const std::string& value) { m_socksPort = value; }
    const std::string& SocksUserCode() const { return m_socksUserCode; }
    void setSocksUserCode(const std::string& value) { m_socksUserCode = value; }
    const std::string& SocksPassword() const { return m_socksPassword; }
    void setSocksPassword(const std::string& value) { m_socksPassword = value; }
    // Seconds Abort may wait; 0 or less: no limit.
    std::int32_t Timeout() const { return m_timeout; }
    void setTimeout(std::int32_t seconds) { m_timeout = seconds; }

    // ---- results ----
    const std::string& ErrorMessage() const { return m_errorMessage; }
    int StatusCode() const { return m_statusCode; }
    const std::string& LastResponse() const { return m_lastResponse; }
    std::int64_t SizeResult() const { return m_sizeResult; }
    const std::string& DirResult() const { return m_dirResult; }
    bool Connected() const { return m_connected; }
    TFtpState State() const { return m_state; }
    TFtpRequest RequestType() const { return m_requestType; }
    // Bytes in the local file being written (restart offset included); 0 when none is open.
    std::int64_t LocalStreamSize() const { return m_localFile.size(); }
    // The data connection's socket, for an owner that holds its reads (OnProgress may pause it).
    TWSocket& DataSocket() { return *m_data; }
    // The bytes of the last listing, as the server sent them.
    const std::string& Listing() const { return m_listing; }

    void onMessage(const Message& message) override;

private:
    // The steps of high-level requests, in the order they run.
    enum class Step : std::uint8_t {
        Open,
        User,
        Password,
        ChangeDirectory,
        Type,
        Port,
        RestartOffset,
        Retrieve,
        MachineList,
        NameList,
        Size,
        Quit,
        None,
    };
    static constexpr std::size_t StepCount = static_cast<std::size_t>(Step::None);
    using StepSet = std::bitset<StepCount>;
    // Who takes the next reply that ends a reply.
    enum class ReplyHandler { None, Evaluate, TransferStarted, TransferEnded };
    using Lifetime = std::weak_ptr<int>;
    using Clock = std::chrono::steady_clock;

    // requests and steps (ftp_client_steps.cpp)
    bool checkReady();
    void startSingleStep(Step step);
    void startRequest(TFtpRequest request, std::initializer_list<Step> steps);
    void chooseNextStep();
    bool skipStep(Step step);
    void runStep(Step step);
    void runCommandStep(const std::string& command, std::initializer_list<int> accepted);
    bool checkCommand(const std::string& command);
    void sendCommand(std::string command);
    void evaluateReply(const FtpReplyLine& line);
    void interpretReply(const std::string& line);
    void reportStepDone(int error);
    void endRequest(int error);
    void fail(int code, const std::string& text);
    void componentFailure(const std::string& text);
    void setState(TFtpState state);
    void display(std::string text);

    // control connection (ftp_client_control.cpp)
    void startOpen();
    void onLookupDone(int error);
    void connectControl();
    void onControlConnected(int error);
    void controlFailed(int socketError);
    void onControlData();
    void onControlLine(const FtpReplyLine& line);
    void onControlClosed(int error);
    void applySocks(TWSocket& socket);
    void onSocketBgException(const std::exception& e, bool& socketCanClose);
    void handleBgException(const std::exception& e);

    // data connection (ftp_client_transfer.cpp)
    void startPort();
    void startRestartOffset();
    void startTransfer(const char* command);
    bool openLocalFile();
    bool connectPassive();
    // The FTP server's address as the data connection reaches it (IPv4 or IPv6 text).
    std::string dataServerAddress();
    void onTransferStarted(const FtpReplyLine& line);
    void onTransferEnded(const FtpReplyLine& line);
    void onDataSessionAvailable();
    void onDataConnected(int error);
    bool onDataReceived();
    int receiveDataBlock();
    bool drainData();
    void onDataClosed(int error);
    void transferFailed(int code, const std::string& text);
    void tryToFinishTransfer();
    void watchTransfer();
    void closeData();

    template <typename Event, typename... Args>
    bool fire(const Event& event, Args&&... args);
    static bool alive(const Lifetime& lifetime) { return !lifetime.expired(); }

    MessageLoop& m_loop;
    Handle m_handle = 0;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    std::unique_ptr<TWSocket> m_control;
    std::unique_ptr<TWSocket> m_data;
    std::vector<char> m_dataBlock;

    // properties
    std::string m_hostName;
    std::string m_port = "ftp";
    std::string m_userName;
    std::string m_passWord;
    std::string m_hostDirName;
    std::string m_hostFileName;
    std::string m_localFileName;
    bool m_binary = true;
    unsigned m_options = static_cast<unsigned>(TFtpOption::ftpAcceptLF);
    TFtpConnectionType m_connectionType = TFtpConnectionType::ftpDirect;
    std::string m_proxyServer;
    std::string m_socksServer;
    std::string m_socksPort;
    std::string m_socksUserCode;
    std::string m_socksPassword;
    std::int32_t m_timeout = 15;

    // results
    std::string m_errorMessage;
    int m_statusCode = 0;
    std::string m_lastResponse;
    std::int64_t m_sizeResult = 0;
    std::string m_dirResult;
    bool m_connected = false;
    TFtpState m_state = TFtpState::Ready;
    TFtpRequest m_requestType = TFtpRequest::None;

    // the request being run
    FtpReplyReader m_reader;
    StepSet m_steps;
    Step m_lastStep = Step::None;
    bool m_highLevel = false;
    bool m_choosing = false;  // the next-step chooser follows each step (a high-level request)
    int m_stepResult = 0;
    int m_requestResult = 0;
    std::string m_savedResponse;
    int m_savedCode = -1;
    std::vector<int> m_acceptedCodes;  // empty: every code below 500
    ReplyHandler m_next = ReplyHandler::None;
    bool m_requestDone = true;  // the current step was reported done
    Clock::time_point m_deadline;

    // the transfer
    std::int64_t m_restartOffset = 0;
    std::int64_t m_byteCount = 0;
    Clock::time_point m_transferStart;
    std::string m_passiveReply;
    std::string m_transferCommand;
    bool m_finalReplyReceived = false;
    bool m_dataClosed = false;
    int m_dataCloseError = 0;
    int m_transferError = 0;  // a local failure that overrides a good final reply
    FtpLocalFile m_localFile;
    bool m_listingTransfer = false;  // the data goes to m_listing, not to the local file
    std::string m_listing;
};

template <typename Event, typename... Args>
inline bool TFtpClient::fire(const Event& event, Args&&... args) {
    if (!event)
        return true;
    const Lifetime lifetime = m_lifetime;
    // A copy, so that a handler may assign its own event while it runs.
    const Event handler = event;
    handler(*this, std::forward<Args>(args)...);
    return alive(lifetime);
}

}  // namespace quillharbor
