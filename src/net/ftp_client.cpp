#include "net/ftp_client.h"

#include <algorithm>

#include "net/ftp_exception.h"

namespace quillharbor {

namespace {

// How long one round of the synchronous wait may block the loop before it looks at the clock.
constexpr std::chrono::milliseconds PumpWait{100};

}  // namespace

TFtpClient::TFtpClient(MessageLoop& loop)
    : m_loop(loop),
      m_handle(loop.add(*this)),
      m_control(std::make_unique<TWSocket>(loop)),
      m_data(std::make_unique<TWSocket>(loop)),
      m_dataBlock(DataBlockSize) {
    m_data->setComponentOptions({TWSocketOption::wsoNoReceiveLoop});
    m_control->OnDnsLookupDone = [this](TWSocket&, int error) { onLookupDone(error); };
    m_control->OnSessionConnected = [this](TWSocket&, int error) { onControlConnected(error); };
    m_control->OnDataAvailable = [this](TWSocket&, int) { onControlData(); };
    m_control->OnSessionClosed = [this](TWSocket&, int error) { onControlClosed(error); };
    for (TWSocket* socket : {m_control.get(), m_data.get()})
        socket->OnBgException = [this](TWSocket&, const std::exception& e, bool& canClose) {
            onSocketBgException(e, canClose);
        };
}

TFtpClient::~TFtpClient() {
    // The sockets go first and report nothing while they go; no posted report outlives the client.
    m_control.reset();
    m_data.reset();
    m_localFile.close();
    m_loop.remove(m_handle);
}

// ---- properties ----

bool TFtpClient::hasOption(TFtpOption option) const {
    return (m_options & static_cast<unsigned>(option)) != 0;
}

void TFtpClient::setOptions(std::initializer_list<TFtpOption> options) {
    m_options = 0;
    for (const TFtpOption option : options) m_options |= static_cast<unsigned>(option);
}

void TFtpClient::setConnectionType(TFtpConnectionType value) {
    if (m_connected) {
        componentFailure("FTP component connected");
        return;
    }
    m_connectionType = value;
}

// ---- events ----

void TFtpClient::onMessage(const Message& message) {
    if (message.number != WM_FTP_REQUEST_DONE)
        return;
    try {
        fire(OnRequestDone, static_cast<TFtpRequest>(message.wParam),
             static_cast<int>(message.lParam));
    } catch (const std::exception& e) {
        handleBgException(e);
    } catch (...) {
        handleBgException(std::runtime_error("unknown exception"));
    }
}

void TFtpClient::onSocketBgException(const std::exception& e, bool& socketCanClose) {
    // The client decides for its session; the socket alone must not close under it.
    socketCanClose = false;
    handleBgException(e);
}

void TFtpClient::handleBgException(const std::exception& e) {
    const Lifetime lifetime = m_lifetime;
    bool canClose = true;
    try {
        fire(OnBgException, e, canClose);
    } catch (...) {
        // A failing exception handler must not take the loop down with it.
    }
    if (alive(lifetime) && canClose)
        AbortAsync();
}

void TFtpClient::setState(TFtpState state) {
    if (state == m_state)
        return;
    m_state = state;
    fire(OnStateChange);
}

void TFtpClient::display(std::string text) {
    fire(OnDisplay, text);
}

void TFtpClient::componentFailure(const std::string& text) {
    if (OnError) {
        std::string message = text;
        fire(OnError, message);
    } else {
        throw FtpException(text);
    }
    // A high-level request cannot go on without the step that refused to start.
    if (m_choosing && m_requestDone) {
        if (m_errorMessage.empty())
            m_errorMessage = text;
        m_stepResult = ControlFailedCode;
        m_requestDone = false;
        reportStepDone(ControlFailedCode);
    }
}

// ---- aborting ----

void TFtpClient::AbortAsync() {
    const bool wasLookingUp = m_state == TFtpState::LookingUp;
    setState(TFtpState::Aborting);
    m_localFile.close();
    if (wasLookingUp)
        m_control->CancelDnsLookup();
    // Closing the control connection reports the step that was waiting for a reply.
    if (m_control->State() != TSocketState::wsClosed)
        m_control->Close();
    closeData();
    m_localFile.close();
    m_connected = false;
    // A look-up has no connection whose close would report it, and a high-level request that
    // stopped between two steps has no step at all.
    if (!m_requestDone || m_choosing) {
        m_requestDone = false;
        if (m_errorMessage.empty())
            m_errorMessage = "426 Operation aborted.";
        m_stepResult = AbortedCode;
        reportStepDone(AbortedCode);
    }
    setState(TFtpState::Ready);
}

bool TFtpClient::Abort() {
    const Lifetime lifetime = m_lifetime;
    AbortAsync();
    if (!alive(lifetime))
        return false;
    m_deadline = Clock::now() + std::chrono::seconds(m_timeout);
    while (m_state != TFtpState::Ready) {
        std::chrono::milliseconds wait = PumpWait;
        if (m_timeout > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
            if (left.count() <= 0) {
                AbortAsync();
                m_errorMessage = "426 Timeout";
                m_statusCode = AbortedCode;
                return false;
            }
            wait = std::min(wait, left);
        }
        m_loop.runOnce(wait);
        if (!alive(lifetime))
            return false;
    }
    return m_stepResult == 0;
}

}  // namespace quillharbor
