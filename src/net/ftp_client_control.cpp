#include "net/ftp_client.h"
#include "net/ftp_commands.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"

namespace quillharbor {

// The control connection: look-up, connect, greeting, the replies and the close.

void TFtpClient::startOpen() {
    m_requestDone = false;
    m_reader.clear();
    m_reader.setAcceptLF(hasOption(TFtpOption::ftpAcceptLF));
    setState(TFtpState::LookingUp);
    const std::string& host =
        m_connectionType == TFtpConnectionType::ftpProxy ? m_proxyServer : m_hostName;
    try {
        m_control->DnsLookup(host);
    } catch (const ESocketException&) {
        // The socket refuses an empty name without reporting a look-up.
        onLookupDone(WSAEINVAL);
    }
}

void TFtpClient::onLookupDone(int error) {
    // An abort cancels the look-up and reports the request itself.
    if (m_state != TFtpState::LookingUp)
        return;
    if (error != 0) {
        controlFailed(error);
        return;
    }
    connectControl();
}

void TFtpClient::connectControl() {
    setState(TFtpState::WaitingGreeting);
    try {
        m_control->setAddr(m_control->DnsResult());
        m_control->setProto("tcp");
        m_control->setPort(m_port);
        applySocks(*m_control);
        m_control->Connect();
    } catch (const ESocketException&) {
        const int error = m_control->LastError();
        controlFailed(error != 0 ? error : WSAEINVAL);
    }
}

void TFtpClient::onControlConnected(int error) {
    if (m_state != TFtpState::WaitingGreeting)
        return;
    if (error != 0) {
        controlFailed(error);
        return;
    }
    m_connected = true;
}

void TFtpClient::controlFailed(int socketError) {
    m_lastResponse = controlFailureReply(socketError);
    m_statusCode = ControlFailedCode;
    m_stepResult = ControlFailedCode;
    if (m_errorMessage.empty())
        m_errorMessage = m_lastResponse;
    // Nothing of the session exists: the request ends here, with the socket's code.
    m_choosing = false;
    reportStepDone(socketError);
    if (m_control->State() != TSocketState::wsClosed)
        m_control->Close();
    setState(TFtpState::Ready);
}

void TFtpClient::onControlData() {
    char buffer[FtpReplyReader::BufferSize];
    const int received = m_control->Receive(buffer, static_cast<int>(m_reader.room()));
    // Nothing more will come: the server hung up.
    if (received == 0) {
        m_control->Close();
        return;
    }
    if (received < 0)
        return;
    m_reader.feed(std::string_view(buffer, static_cast<std::size_t>(received)));
    const Lifetime lifetime = m_lifetime;
    while (auto line = m_reader.next()) {
        onControlLine(*line);
        // The rest belongs to a session that is over.
        if (!alive(lifetime) || m_control->State() == TSocketState::wsClosed)
            return;
    }
    // A line that outgrew the reply buffer: the server does not speak FTP.
    if (m_reader.room() == 0)
        m_control->Close();
}

void TFtpClient::onControlLine(const FtpReplyLine& line) {
    m_lastResponse = line.text;
    fire(OnResponse);
    display("< " + line.text);
    if (!line.endsReply)
        return;
    if (m_state == TFtpState::WaitingGreeting) {
        m_statusCode = line.code;
        if (line.code != 220) {
            // The close reports the open step with this code.
            m_stepResult = line.code;
            if (m_errorMessage.empty())
                m_errorMessage = line.text;
            m_control->Close();
            return;
        }
        setState(TFtpState::Connected);
        if (!fire(OnSessionConnected, 0))
            return;
        reportStepDone(0);
        return;
    }
    if (m_state != TFtpState::WaitingReply)
        return;
    m_statusCode = line.code;
    switch (m_next) {
        case ReplyHandler::Evaluate:
            evaluateReply(line);
            break;
        case ReplyHandler::TransferStarted:
            onTransferStarted(line);
            break;
        case ReplyHandler::TransferEnded:
            onTransferEnded(line);
            break;
        case ReplyHandler::None:
            componentFailure("Program error: FNext is nil");
            break;
    }
}

void TFtpClient::onControlClosed(int error) {
    const Lifetime lifetime = m_lifetime;
    const bool aborting = m_state == TFtpState::Aborting;
    if (m_connected) {
        m_connected = false;
        if (!aborting)
            setState(TFtpState::NotConnected);
        if (!fire(OnSessionClosed, error))
            return;
    }
    if (m_requestDone) {
        // Nothing was waiting: the server ended an idle session, and the client is ready again.
        if (!aborting)
            setState(TFtpState::Ready);
        return;
    }
    // The step that was waiting fails: a connection that closed is no answer.
    int code = m_stepResult;
    std::string text = "500 Control connection closed";
    if (aborting) {
        code = AbortedCode;
        text = "426 Operation aborted.";
    } else if (code == 0) {
        code = ControlFailedCode;
        m_statusCode = ControlFailedCode;
    }
    if (!aborting)
        setState(TFtpState::BetweenSteps);
    fail(code, text);
}

void TFtpClient::applySocks(TWSocket& socket) {
    const char* level = nullptr;
    switch (m_connectionType) {
        case TFtpConnectionType::ftpSocks4:
            level = "4";
            break;
        case TFtpConnectionType::ftpSocks4A:
            level = "4A";
            break;
        case TFtpConnectionType::ftpSocks5:
            level = "5";
            break;
        default:
            return;
    }
    socket.setSocksServer(m_socksServer);
    socket.setSocksPort(m_socksPort);
    socket.setSocksLevel(level);
    socket.setSocksUsercode(m_socksUserCode);
    socket.setSocksPassword(m_socksPassword);
    // Offering only user/password authentication would lock out every server that wants none.
    socket.setSocksAuthentication(m_socksUserCode.empty()
                                      ? TSocksAuthentication::socksNoAuthentication
                                      : TSocksAuthentication::socksAuthenticateUsercode);
}

}  // namespace quillharbor
