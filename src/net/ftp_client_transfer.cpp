#include <arpa/inet.h>

#include "net/ftp_client.h"
#include "net/ftp_commands.h"
#include "net/ftp_reply.h"
#include "net/name_resolution.h"
#include "net/socket_address.h"
#include "net/socket_error.h"
#include "net/socket_exception.h"
#include "platform/files.h"

namespace quillharbor {

// The data connection: PORT or PASV, REST, RETR, and the bytes of the file.

namespace {

constexpr std::uint32_t Loopback = 0x7F000001;  // 127.0.0.1, host order
constexpr int DataLingerSeconds = 10;

std::string dataConnectionFailure(int code) {
    return "Unable to establish data connection, error #" + std::to_string(code);
}

}  // namespace

void TFtpClient::startPort() {
    if (!m_connected) {
        componentFailure("FTP component not connected");
        return;
    }
    m_requestDone = false;
    closeData();
    m_dataClosed = false;
    m_dataCloseError = 0;
    std::string command;
    try {
        m_data->setProto("tcp");
        m_data->setPort("0");
        if (m_connectionType != TFtpConnectionType::ftpDirect) {
            m_data->setAddr("0.0.0.0");
            command = isIPv6Literal(dataServerAddress()) ? "EPSV" : "PASV";
        } else {
            SocketAddress local;
            SocketAddress peer;
            if (m_control->GetSockName(local) != 0 || m_control->GetPeerName(peer) != 0)
                throw ESocketException("getsockname");
            local = local.unmapped();
            // Only the server's side of the control connection can reach this address; a
            // listener on every interface would take a connection from anyone.
            m_data->setAddr(local.text());
            m_data->setLingerOnOff(TSocketLingerOnOff::wsLingerOn);
            m_data->setLingerTimeout(DataLingerSeconds);
            m_data->Listen();
            // Some servers connect as soon as they have the PORT command, before RETR.
            m_data->OnSessionAvailable = [this](TWSocket&, int) { onDataSessionAvailable(); };
            const auto port = static_cast<std::uint16_t>(std::stoi(m_data->GetXPort()));
            if (local.isIPv6()) {
                command = extendedPortCommand(local.text(), port);
            } else {
                const std::uint32_t address =
                    ntohl(peer.unmapped().ipv4()) == Loopback ? Loopback : ntohl(local.ipv4());
                command = portCommand(address, port);
            }
        }
    } catch (const std::exception&) {
        // A failed listen, or "error" for the port of a socket that is not listening.
        const int error = m_data->LastError() != 0 ? m_data->LastError() : WSAEINVAL;
        m_statusCode = DataFailedCode;
        fail(DataFailedCode, dataConnectionFailure(error));
        return;
    }
    m_byteCount = 0;
    runCommandStep(command, {200, 227, 229});
}

void TFtpClient::startRestartOffset() {
    const Result<std::uint64_t> size = quillharbor::fileSize(m_localFileName);
    m_restartOffset = size.ok() ? static_cast<std::int64_t>(size.value()) : -1;
    if (m_restartOffset < 1) {
        m_requestDone = false;
        reportStepDone(0);
        return;
    }
    runCommandStep(restartCommand(m_restartOffset), {});
}

// RETR into the local file, or a listing of the current directory (MLSD, NLST) into m_listing.
void TFtpClient::startTransfer(const char* name) {
    if (!m_connected) {
        componentFailure(m_transferCommand + ": not connected");
        return;
    }
    m_listingTransfer = std::string_view(name) != "RETR";
    if (!m_listingTransfer && m_localFileName.empty()) {
        componentFailure("LocalFileName empty");
        return;
    }
    m_transferCommand = name;
    const std::string command = m_listingTransfer || m_hostFileName.empty()
                                    ? m_transferCommand
                                    : m_transferCommand + " " + m_hostFileName;
    if (!checkCommand(command))
        return;
    m_finalReplyReceived = false;
    m_requestDone = false;
    m_byteCount = 0;
    m_transferError = 0;
    m_listing.clear();
    if (!m_listingTransfer && !openLocalFile())
        return;
    if (m_connectionType != TFtpConnectionType::ftpDirect && !connectPassive())
        return;
    setState(TFtpState::WaitingReply);
    m_next = ReplyHandler::TransferStarted;
    sendCommand(command);
}

bool TFtpClient::openLocalFile() {
    const Status opened = m_restartOffset > 0 ? m_localFile.openAt(m_localFileName, m_restartOffset)
                                              : m_localFile.create(m_localFileName);
    if (opened)
        return true;
    // Nothing is asked of the server: a passive server would wait for a connection that never
    // comes, and no time-out would end the request.
    display("! " + opened.error().text);
    m_statusCode = DataFailedCode;
    fail(DataFailedCode, opened.error().text);
    return false;
}

bool TFtpClient::connectPassive() {
    const std::optional<std::uint16_t> port = replyCode(m_passiveReply) == 229
                                                  ? extendedPassivePortFromReply(m_passiveReply)
                                                  : passivePortFromReply(m_passiveReply);
    if (!port) {
        onDataConnected(WSAEINVAL);
        return false;
    }
    try {
        m_data->setAddr(dataServerAddress());
        m_data->setPort(std::to_string(*port));
        m_data->setProto("tcp");
        m_data->setLingerOnOff(TSocketLingerOnOff::wsLingerOff);
        applySocks(*m_data);
        m_data->OnSessionConnected = [this](TWSocket&, int error) { onDataConnected(error); };
        m_data->Connect();
    } catch (const ESocketException&) {
        const int error = m_data->LastError();
        onDataConnected(error != 0 ? error : WSAEINVAL);
        return false;
    }
    return true;
}

std::string TFtpClient::dataServerAddress() {
    // Through SOCKS the control connection's peer is the SOCKS server; its Addr is the server
    // itself.
    const bool socks = m_connectionType != TFtpConnectionType::ftpProxy &&
                       m_connectionType != TFtpConnectionType::ftpDirect;
    return socks ? m_control->Addr() : m_control->PeerAddr();
}

void TFtpClient::onDataConnected(int error) {
    if (error == 0) {
        watchTransfer();
        return;
    }
    m_lastResponse = dataConnectionFailure(error);
    m_statusCode = DataFailedCode;
    fail(DataFailedCode, m_lastResponse);
}

void TFtpClient::onDataSessionAvailable() {
    m_data->OnSessionAvailable = nullptr;
    int fd = -1;
    try {
        fd = m_data->Accept();
        // One connection per transfer: the listener goes, and the accepted one takes its place.
        m_data->Close();
        if (fd >= 0)
            m_data->Dup(fd);
    } catch (const ESocketException&) {
        fd = -1;
    }
    if (fd < 0 || m_data->State() != TSocketState::wsConnected) {
        const int error = m_data->LastError();
        onDataConnected(error != 0 ? error : WSAENOTCONN);
        return;
    }
    watchTransfer();
}

void TFtpClient::watchTransfer() {
    m_data->OnDataAvailable = [this](TWSocket&, int) { onDataReceived(); };
    m_data->OnSessionClosed = [this](TWSocket&, int error) { onDataClosed(error); };
    m_transferStart = Clock::now();
}

void TFtpClient::onTransferStarted(const FtpReplyLine& line) {
    if (line.code == 150 || line.code == 125) {
        m_next = ReplyHandler::TransferEnded;
        return;
    }
    m_restartOffset = 0;
    fail(line.code, line.text);
}

void TFtpClient::onTransferEnded(const FtpReplyLine& line) {
    if (line.code == 125 || line.code == 226 || line.code == 250) {
        m_finalReplyReceived = true;
        tryToFinishTransfer();
        return;
    }
    display("! " + m_transferCommand + " Failed");
    fail(line.code, line.text);
}

// Returns false when a progress handler destroyed the client.
bool TFtpClient::onDataReceived() {
    bool abort = false;
    if (!fire(OnProgress, m_byteCount + m_restartOffset, abort))
        return false;
    m_deadline = Clock::now() + std::chrono::seconds(m_timeout);
    // The handler may have aborted the session.
    if (m_data->State() != TSocketState::wsConnected)
        return true;
    if (abort) {
        display("! Abort requested");
        transferFailed(AbortedCode, "426 Operation aborted.");
        return true;
    }
    const int received = receiveDataBlock();
    if (received > 0) {
        m_byteCount += received;
        const std::string_view bytes(m_dataBlock.data(), static_cast<std::size_t>(received));
        if (m_listingTransfer) {
            if (m_listing.size() + bytes.size() > ListingLimit)
                transferFailed(DataFailedCode,
                               "Listing longer than " + std::to_string(ListingLimit) + " bytes");
            else
                m_listing += bytes;
            return true;
        }
        if (!m_localFile.isOpen())
            return true;
        const Status written = m_localFile.write(bytes);
        if (!written) {
            display("! Error writing local file");
            transferFailed(DataFailedCode, written.error().text);
        }
    } else if (received < 0 && m_data->LastError() != WSAEWOULDBLOCK) {
        const int error = m_data->LastError();
        display("! Data: Receive error " + std::to_string(error));
        transferFailed(error, "Data: Receive error " + std::to_string(error));
    }
    return true;
}

// Reads until the connection has nothing more to give or the block is full, so the file is
// written in blocks. -1 (LastError set) only when the first receive failed.
int TFtpClient::receiveDataBlock() {
    int filled = 0;
    while (filled < DataBlockSize) {
        const int asked = DataBlockSize - filled;
        const int received = m_data->Receive(m_dataBlock.data() + filled, asked);
        if (received < 0)
            return filled > 0 ? filled : -1;
        filled += received;
        if (received < asked)
            break;
    }
    return filled;
}

// A transfer that cannot go on: the data connection is closed at once, and the request fails with
// code when the final reply comes, even a 226: the file is not what the server sent.
void TFtpClient::transferFailed(int code, const std::string& text) {
    if (m_transferError == 0)
        m_transferError = code;
    if (m_errorMessage.empty())
        m_errorMessage = text;
    m_localFile.close();
    m_data->Close();
}

// The socket reads one block per readiness event, and the close of the connection may be
// reported while the end of the file still waits in it: that is read now, as the socket goes
// once this event is over. The kernel's receive buffer bounds it.
// Returns false when a progress handler destroyed the client.
bool TFtpClient::drainData() {
    while ((m_localFile.isOpen() || m_listingTransfer) &&
           m_data->State() == TSocketState::wsConnected && m_data->RcvdCount() > 0)
        if (!onDataReceived())
            return false;
    return true;
}

void TFtpClient::onDataClosed(int error) {
    if (!drainData())
        return;
    // A progress handler that aborted let go of the data connection: its close is no longer
    // this transfer's to report.
    if (!m_data->OnSessionClosed)
        return;
    m_localFile.close();
    m_dataClosed = true;
    m_dataCloseError = error;
    tryToFinishTransfer();
}

// The transfer is over only when both the final reply and the close of the data connection were
// seen, in either order.
void TFtpClient::tryToFinishTransfer() {
    if (!m_finalReplyReceived || !m_dataClosed || m_requestDone)
        return;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_transferStart);
    display(transferStatistics(m_byteCount, elapsed.count()));
    m_restartOffset = 0;
    const int error = m_transferError != 0 ? m_transferError : m_dataCloseError;
    if (error == 0) {
        m_next = ReplyHandler::None;
        reportStepDone(0);
        return;
    }
    m_statusCode = error;
    fail(error, "Data connection closed, error #" + std::to_string(error));
}

void TFtpClient::closeData() {
    // Quietly: what the data connection would report belongs to a transfer that is over.
    m_data->OnSessionAvailable = nullptr;
    m_data->OnSessionConnected = nullptr;
    m_data->OnDataAvailable = nullptr;
    m_data->OnSessionClosed = nullptr;
    if (m_data->State() != TSocketState::wsClosed)
        m_data->Close();
}

}  // namespace quillharbor
