#include <algorithm>

#include "net/ftp_client.h"
#include "net/ftp_reply.h"

namespace quillharbor {

namespace {

TFtpRequest requestOf(int step) {
    constexpr TFtpRequest requests[] = {
        TFtpRequest::Open,          TFtpRequest::User,
        TFtpRequest::Password,      TFtpRequest::ChangeDirectory,
        TFtpRequest::Type,          TFtpRequest::Port,
        TFtpRequest::RestartOffset, TFtpRequest::Retrieve,
        TFtpRequest::MachineList,   TFtpRequest::NameList,
        TFtpRequest::Size,          TFtpRequest::Quit,
    };
    return requests[step];
}

}  // namespace

// ---- requests ----

void TFtpClient::open() {
    startSingleStep(Step::Open);
}
void TFtpClient::user() {
    startSingleStep(Step::User);
}
void TFtpClient::password() {
    startSingleStep(Step::Password);
}
void TFtpClient::changeDirectory() {
    startSingleStep(Step::ChangeDirectory);
}
void TFtpClient::size() {
    startSingleStep(Step::Size);
}
void TFtpClient::type() {
    startSingleStep(Step::Type);
}
void TFtpClient::binaryType() {
    m_binary = true;
    startSingleStep(Step::Type);
}
void TFtpClient::asciiType() {
    m_binary = false;
    startSingleStep(Step::Type);
}
void TFtpClient::port() {
    startSingleStep(Step::Port);
}
void TFtpClient::restartOffset() {
    startSingleStep(Step::RestartOffset);
}
void TFtpClient::quit() {
    startSingleStep(Step::Quit);
}

void TFtpClient::connect() {
    startRequest(TFtpRequest::Connect, {Step::Open, Step::User, Step::Password});
}
void TFtpClient::receive() {
    startRequest(TFtpRequest::Receive,
                 {Step::Open, Step::User, Step::Password, Step::ChangeDirectory, Step::Type,
                  Step::Port, Step::Retrieve, Step::Quit});
}
void TFtpClient::restartReceive() {
    startRequest(TFtpRequest::RestartReceive,
                 {Step::Open, Step::User, Step::Password, Step::ChangeDirectory, Step::Type,
                  Step::Port, Step::RestartOffset, Step::Retrieve, Step::Quit});
}
void TFtpClient::retrieve() {
    startRequest(TFtpRequest::Retrieve, {Step::Port, Step::Retrieve});
}
void TFtpClient::restartRetrieve() {
    startRequest(TFtpRequest::RestartRetrieve, {Step::Port, Step::RestartOffset, Step::Retrieve});
}
void TFtpClient::fileSize() {
    startRequest(TFtpRequest::FileSize, {Step::Open, Step::User, Step::Password,
                                         Step::ChangeDirectory, Step::Size, Step::Quit});
}
void TFtpClient::machineList() {
    startRequest(TFtpRequest::MachineList, {Step::Port, Step::MachineList});
}
void TFtpClient::nameList() {
    startRequest(TFtpRequest::NameList, {Step::Port, Step::NameList});
}

bool TFtpClient::checkReady() {
    if (m_state == TFtpState::Ready || m_state == TFtpState::BetweenSteps)
        return true;
    componentFailure("FTP component not ready");
    return false;
}

void TFtpClient::startSingleStep(Step step) {
    if (!checkReady())
        return;
    if (step == Step::Open && m_connected) {
        componentFailure("FTP component already connected");
        return;
    }
    m_highLevel = false;
    m_choosing = false;
    // A single step reports its own failure, not one left over from an earlier request.
    m_errorMessage.clear();
    runStep(step);
}

void TFtpClient::startRequest(TFtpRequest request, std::initializer_list<Step> steps) {
    StepSet set;
    for (const Step step : steps) set.set(static_cast<std::size_t>(step));
    if (set.test(static_cast<std::size_t>(Step::Open)) && m_connected) {
        componentFailure("FTP component already connected");
        return;
    }
    if (!checkReady())
        return;
    // Known before anything is sent, so no half-run request has to be wound down for it.
    if (set.test(static_cast<std::size_t>(Step::Retrieve)) && m_localFileName.empty()) {
        componentFailure("LocalFileName empty");
        return;
    }
    m_savedResponse = m_lastResponse;
    m_savedCode = -1;
    m_requestType = request;
    m_stepResult = 0;
    m_requestResult = 0;
    m_steps = set;
    m_lastStep = Step::None;
    m_highLevel = true;
    m_choosing = true;
    m_lastResponse.clear();
    m_errorMessage.clear();
    chooseNextStep();
}

// Runs after every step of a high-level request, failed or not, and once to begin it.
void TFtpClient::chooseNextStep() {
    if (m_state == TFtpState::Aborting) {
        m_steps.reset();
        m_requestResult = AbortedCode;
        m_errorMessage = "426 Operation aborted.";
    } else if (m_stepResult != 0) {
        // The first failure is the one reported; a refused QUIT after it changes nothing.
        if (m_requestResult == 0)
            m_requestResult = m_stepResult;
        const bool quitLeft =
            m_steps.test(static_cast<std::size_t>(Step::Quit)) && m_lastStep != Step::Quit;
        m_steps.reset();
        if (quitLeft)
            m_steps.set(static_cast<std::size_t>(Step::Quit));
    }
    for (std::size_t i = 0; i < StepCount; ++i) {
        if (!m_steps.test(i))
            continue;
        m_steps.reset(i);
        const Step step = static_cast<Step>(i);
        if (skipStep(step))
            continue;
        runStep(step);
        return;
    }
    m_choosing = false;
    m_requestDone = false;
    reportStepDone(m_requestResult);
}

bool TFtpClient::skipStep(Step step) {
    switch (step) {
        case Step::Password:
            // A 230 to USER logs in without a password.
            return m_lastStep == Step::User && m_statusCode != 331;
        case Step::ChangeDirectory:
            return m_hostDirName.empty();
        case Step::Retrieve:
            if (m_lastStep != Step::RestartOffset || m_statusCode != 350 || m_restartOffset < 0)
                m_restartOffset = 0;
            return false;
        case Step::Quit:
            // A connection that is gone needs no QUIT.
            if (!m_connected)
                return true;
            m_savedResponse = m_lastResponse;
            m_savedCode = m_statusCode;
            return false;
        default:
            return false;
    }
}

void TFtpClient::runStep(Step step) {
    m_lastStep = step;
    m_stepResult = 0;
    if (!m_highLevel)
        m_requestType = requestOf(static_cast<int>(step));
    switch (step) {
        case Step::Open:
            startOpen();
            break;
        case Step::User:
            if (m_userName.empty()) {
                componentFailure("UserName emtpy");
                break;
            }
            runCommandStep("USER " + m_userName +
                               (m_connectionType == TFtpConnectionType::ftpProxy ? "@" + m_hostName
                                                                                 : std::string()),
                           {331, 230});
            break;
        case Step::Password:
            if (m_passWord.empty()) {
                componentFailure("Password emtpy");
                break;
            }
            runCommandStep("PASS " + m_passWord, {230});
            break;
        case Step::ChangeDirectory:
            if (m_hostDirName.empty()) {
                componentFailure("HostDirName emtpy");
                break;
            }
            runCommandStep("CWD " + m_hostDirName, {200, 250, 257});
            break;
        case Step::Type:
            runCommandStep(std::string("TYPE ") + (m_binary ? "I" : "A"), {200});
            break;
        case Step::Port:
            startPort();
            break;
        case Step::RestartOffset:
            startRestartOffset();
            break;
        case Step::Retrieve:
            startTransfer("RETR");
            break;
        case Step::MachineList:
            startTransfer("MLSD");
            break;
        case Step::NameList:
            startTransfer("NLST");
            break;
        case Step::Size:
            runCommandStep("SIZE " + m_hostFileName, {213});
            break;
        case Step::Quit:
            runCommandStep("QUIT", {221});
            break;
        case Step::None:
            break;
    }
}

void TFtpClient::runCommandStep(const std::string& command, std::initializer_list<int> accepted) {
    if (!m_connected) {
        componentFailure("FTP component not connected");
        return;
    }
    if (!checkCommand(command))
        return;
    m_acceptedCodes.assign(accepted);
    m_requestDone = false;
    m_next = ReplyHandler::Evaluate;
    setState(TFtpState::WaitingReply);
    sendCommand(command);
}

// Names come from URLs and settings: a line end inside one would smuggle in another command, and
// a NUL would cut it short on the server.
bool TFtpClient::checkCommand(const std::string& command) {
    if (command.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos)
        return true;
    componentFailure("FTP command contains a line end or NUL");
    return false;
}

void TFtpClient::sendCommand(std::string command) {
    fire(OnCommand, command);
    display("> " + command);
    if (m_control->State() == TSocketState::wsConnected)
        m_control->SendStr(command + "\r\n");
}

// ---- replies ----

void TFtpClient::evaluateReply(const FtpReplyLine& line) {
    m_next = ReplyHandler::None;
    const bool accepted = m_acceptedCodes.empty()
                              ? line.code < 500
                              : std::find(m_acceptedCodes.begin(), m_acceptedCodes.end(),
                                          line.code) != m_acceptedCodes.end();
    if ((line.code == 227 || line.code == 229) && m_connectionType != TFtpConnectionType::ftpDirect)
        m_passiveReply = line.text;
    if (!accepted) {
        fail(line.code, line.text);
    } else {
        interpretReply(line.text);
        reportStepDone(0);
    }
    // The server ends the session after QUIT; the client does not wait for it to do so.
    if (m_lastStep == Step::Quit && m_control->State() != TSocketState::wsClosed &&
        m_state != TFtpState::WaitingReply)
        m_control->Close();
}

void TFtpClient::interpretReply(const std::string& line) {
    if (m_lastStep == Step::Size)
        m_sizeResult = sizeFromReply(line).value_or(0);
    else if (m_lastStep == Step::ChangeDirectory)
        m_dirResult = directoryFromReply(line).value_or(std::string());
}

// ---- ending steps and requests ----

void TFtpClient::reportStepDone(int error) {
    if (m_requestDone)
        return;
    m_requestDone = true;
    if (error != 0 && m_stepResult == 0)
        m_stepResult = error;
    if (m_choosing) {
        if (m_state != TFtpState::Aborting)
            setState(TFtpState::BetweenSteps);
        chooseNextStep();
        return;
    }
    endRequest(error);
}

void TFtpClient::endRequest(int error) {
    setState(TFtpState::Ready);
    closeData();
    m_localFile.close();
    m_next = ReplyHandler::None;
    // A request that ended with QUIT reports the reply that came before it.
    if (m_highLevel && m_savedCode >= 0) {
        m_lastResponse = m_savedResponse;
        m_statusCode = m_savedCode;
    }
    m_highLevel = false;
    m_loop.post(m_handle, WM_FTP_REQUEST_DONE, static_cast<std::uintptr_t>(m_requestType), error);
}

void TFtpClient::fail(int code, const std::string& text) {
    if (m_errorMessage.empty())
        m_errorMessage = text;
    m_stepResult = code;
    m_next = ReplyHandler::None;
    closeData();
    m_localFile.close();
    reportStepDone(code);
}

}  // namespace quillharbor
