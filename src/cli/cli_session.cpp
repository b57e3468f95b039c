#include "cli/cli_session.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "cli/usage.h"

namespace quillharbor {

namespace {

constexpr auto kStep = std::chrono::milliseconds(200);
constexpr auto kSettleStep = std::chrono::milliseconds(20);
// Aborted HTTP transfers complete from the loop within a few steps; an FTP slot lets go of its
// object on the next tick.
constexpr auto kSettleLimit = std::chrono::seconds(10);
// processPending() keeps returning true while the scheduler's timer is due.
constexpr int kDrainRounds = 100;

bool keepsRunning(TaskState state) {
    return state == TaskState::Running || state == TaskState::Waiting ||
           state == TaskState::RewritePending;
}

}  // namespace

CliSession::CliSession(const std::string& programDir, Verbosity verbosity, int terminalFd,
                       std::ostream& progress, std::ostream* json)
    : m_view(verbosity, terminalFd, progress, json),
      m_rewriter(m_loop, m_view),
      m_slots(m_loop),
      m_engine(EngineServices{.loop = m_loop,
                              .view = m_view,
                              .drop = m_drop,
                              .dialUp = m_dialUp,
                              .intake = m_intake,
                              .rewriter = m_rewriter,
                              .slots = &m_slots},
               programDir) {
    m_rewriter.attach(m_engine.state());
    m_view.attach(m_engine.state());
    m_engine.LoadAllTasks();
    // Start-up speaks only of trouble: an unreadable configuration, rejected task files.
    m_startupTrouble = reportCaptured();
}

CliSession::~CliSession() {
    m_rewriter.stop();
}

CliSession::RunEnd CliSession::run(const InterruptSignal& interrupt) {
    m_engine.StartScheduler();
    for (;;) {
        m_loop.runOnce(kStep);
        if (interrupt.raised()) {
            stopEverything();
            return RunEnd::Interrupted;
        }
        if (settled()) {
            drainMessages();
            if (settled()) {
                return RunEnd::Settled;
            }
        }
    }
}

void CliSession::dispatchFast() {
    GlobalOptions& options = m_engine.globalOptions();
    if (!m_configuredFast) {
        m_configuredFast = options.FastDispatch;
    }
    options.FastDispatch = true;
}

void CliSession::capPerHost(int cap) {
    GlobalOptions& options = m_engine.globalOptions();
    if (!m_configuredPerHost) {
        m_configuredPerHost = options.MaxConnsPerHost;
    }
    options.MaxConnsPerHost = static_cast<std::uint16_t>(cap);
}

void CliSession::keepConnections() {
    GlobalOptions& options = m_engine.globalOptions();
    if (!m_configuredKeepAlive) {
        m_configuredKeepAlive = options.KeepAlive;
    }
    options.KeepAlive = true;
    // The slots read the engine's copy, made when the settings were applied.
    m_engine.state().KeepAlive = true;
}

bool CliSession::close() {
    m_rewriter.stop();
    drainMessages();
    if (m_configuredFast) {
        m_engine.globalOptions().FastDispatch = *m_configuredFast;
    }
    if (m_configuredPerHost) {
        m_engine.globalOptions().MaxConnsPerHost = *m_configuredPerHost;
    }
    if (m_configuredKeepAlive) {
        m_engine.globalOptions().KeepAlive = *m_configuredKeepAlive;
    }
    // Saving speaks only of files it could not write.
    m_view.captureNotifications();
    const bool saved = m_engine.SaveAtClose();
    reportCaptured();
    return saved;
}

bool CliSession::reportCaptured() {
    const std::vector<std::string> captured = m_view.takeCaptured();
    for (const std::string& text : captured) {
        printError(text);
    }
    return !captured.empty();
}

bool CliSession::settled() {
    for (const TTask& task : m_engine.state().TaskList) {
        if (keepsRunning(task.State)) {
            return false;
        }
    }
    return !m_rewriter.isPending() && slotsIdle();
}

bool CliSession::slotsIdle() {
    const EngineState& state = m_engine.state();
    for (const auto& slot : state.HttpSlots) {
        if (!slot->ready()) {
            return false;
        }
    }
    for (const auto& slot : state.FtpSlots) {
        if (!slot->ready() || slot->InUse() != 0 || slot->Obj() != nullptr) {
            return false;
        }
    }
    return true;
}

void CliSession::stopEverything() {
    // First, so that no pass starts on a half-grabbed task: its pages would keep links to
    // the files that a resume brings later.
    m_rewriter.stop();
    std::vector<TTask*> active;
    for (TTask& task : m_engine.state().TaskList) {
        if (task.State == TaskState::Running || task.State == TaskState::Waiting) {
            active.push_back(&task);
        }
    }
    // The abort marks the objects being retrieved as incomplete, so a resume continues their
    // files; the stop then leaves the tasks stopped rather than aborted.
    m_view.select(active);
    m_view.captureNotifications();
    m_engine.AbortSelectedTasks();
    m_engine.StopSelectedTasks();
    m_view.select({});
    const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
    while (!slotsIdle() && std::chrono::steady_clock::now() < deadline) {
        m_loop.runOnce(kSettleStep);
    }
    drainMessages();
    // The abort settles the last transfers of a task, and the engine then calls the task
    // finished although its cut objects wait for a resume.
    for (const std::string& text : m_view.takeCaptured()) {
        const bool claimsFinished = std::any_of(active.begin(), active.end(), [&](TTask* task) {
            return text == "Task " + task->Name + " is finished.";
        });
        if (!claimsFinished) {
            m_view.print(text);
        }
    }
}

void CliSession::drainMessages() {
    for (int round = 0; round < kDrainRounds && m_loop.processPending(); ++round) {
    }
}

}  // namespace quillharbor
