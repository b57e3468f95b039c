#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/interrupt_signal.h"
#include "cli/terminal_view.h"
#include "clients/network_slot_factory.h"
#include "engine/engine.h"
#include "engine/engine_link_intake.h"
#include "engine/link_rewriter.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "platform/message_loop.h"

namespace quillharbor {

// One run of the engine for a command: the loop, the terminal view, the link rewriter and the
// real transfer slots, with the settings and the task files of the program directory loaded as
// the desktop program loads them at start-up. Nothing is written until close().
//
// Main thread only. The members are declared so that everything the engine uses outlives it.
class CliSession {
public:
    enum class RunEnd {
        Settled,      // no task runs or waits, every link rewriting is done, every slot is idle
        Interrupted,  // stopped on a signal: transfers aborted, objects resumable
    };

    // progress, terminalFd and json as for TerminalView.
    CliSession(const std::string& programDir, Verbosity verbosity, int terminalFd,
               std::ostream& progress = std::cout, std::ostream* json = nullptr);
    // Stops the rewriter while the engine still lives.
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    Engine& engine() { return m_engine; }
    // Start-up reported trouble: the configuration or a task file could not be read.
    bool startupTrouble() const { return m_startupTrouble; }
    TerminalView& view() { return m_view; }
    // This run dispatches at once (FastDispatch) whatever the configuration says; the
    // configuration file keeps its own value.
    void dispatchFast();
    // In this run at most cap slots serve one host at once (MaxConnsPerHost); the configuration
    // file keeps its own value.
    void capPerHost(int cap);
    // This run keeps HTTP connections (KeepAlive) whatever the configuration says; the
    // configuration file keeps its own value.
    void keepConnections();

    // Runs the scheduler and the loop until the run settles or the signal is raised.
    RunEnd run(const InterruptSignal& interrupt);
    // Ends the link rewriting after its current pass, then writes the configuration file and
    // every task file. Returns whether everything was written; what was not is printed on
    // standard error. Start-up's complaints (configuration, task files) go there too.
    bool close();

private:
    bool settled();
    bool slotsIdle();
    // Stops every running or waiting task with its transfers aborted, then lets the slots
    // settle the objects they served (bounded: a slot that never settles is left as it is).
    void stopEverything();
    void drainMessages();
    // Prints what the view captured on standard error; false when there was nothing.
    bool reportCaptured();

    MessageLoop m_loop;
    TerminalView m_view;
    NullDropSource m_drop;
    NullDialUp m_dialUp;
    EngineLinkIntake m_intake;
    LinkRewriter m_rewriter;
    NetworkSlotFactory m_slots;
    Engine m_engine;
    bool m_startupTrouble = false;
    std::optional<bool> m_configuredFast;  // set by dispatchFast: what close() writes back
    std::optional<std::uint16_t> m_configuredPerHost;  // set by capPerHost, likewise
    // Set by keepConnections: what close() writes back.
    std::optional<bool> m_configuredKeepAlive;
};

}  // namespace quillharbor
