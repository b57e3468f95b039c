#include "cli/terminal_view.h"

#include <algorithm>
#include <iostream>

#include "cli/json_output.h"
#include "cli/state_words.h"
#include "model/message_identity.h"

namespace quillharbor {

namespace {

// The scheduler's panes: 0 bytes per second, 2 work time, 3 bytes total (the last of its step).
constexpr int kBytesPerSecPane = 0;
constexpr int kWorkTimePane = 2;
constexpr int kBytesTotalPane = 3;
constexpr int kHeldHostsPane = 4;

// Retrieved and scanned are one outcome to the user.
ObjectState reportedState(ObjectState state) {
    return state == ObjectState::Retrieved ? ObjectState::Done : state;
}

}  // namespace

TerminalView::TerminalView(Verbosity verbosity, int terminalFd, std::ostream& progress,
                           std::ostream* json)
    : m_verbosity(verbosity), m_line(progress, terminalFd), m_json(json) {}

std::size_t TerminalView::refusedLinks(const TTask& task) const {
    const auto found = m_refused.find(&task);
    return found == m_refused.end() ? 0 : found->second.size();
}

void TerminalView::watch(TTask& task) {
    if (std::find(m_watched.begin(), m_watched.end(), &task) != m_watched.end()) {
        return;
    }
    m_watched.push_back(&task);
    if (!reportsObjects()) {
        return;
    }
    // What was settled before this run is no news.
    for (const TDnObj& object : task.Objects) {
        if (objectSettled(object)) {
            m_reported.emplace(identityOf(object), reportedState(object.State));
        }
    }
}

std::vector<std::string> TerminalView::takeCaptured() {
    std::vector<std::string> captured = std::move(m_captured).value_or(std::vector<std::string>{});
    m_captured.reset();
    return captured;
}

void TerminalView::print(const std::string& message) {
    if (m_verbosity != Verbosity::Quiet) {
        m_line.print(message);
    }
}

void TerminalView::finish() {
    if (m_verbosity != Verbosity::Quiet && !m_watched.empty()) {
        m_line.show(statusText(), true);
    }
    m_line.finish();
}

void TerminalView::DeleteTaskRow(TTask& task) {
    m_fileLimited.erase(&task);
    m_refused.erase(&task);
    std::erase(m_selected, &task);
    std::erase(m_watched, &task);
    for (const TDnObj& object : task.Objects) {
        m_reported.erase(identityOf(object));
    }
}

void TerminalView::RefreshObjectRow(TDnObj& object) {
    reportObject(object);
    update(false);
}

void TerminalView::ShowNotification(const std::string& text) {
    if (m_captured) {
        m_captured->push_back(text);
    } else {
        print(text);
    }
}

void TerminalView::ShowLinkDropped(const TDnObj& page, const std::string& link, LinkDrop why) {
    if (why == LinkDrop::FileLimit) {
        m_fileLimited.insert(page.Task);
    } else if (why == LinkDrop::Filtered) {
        if (m_refused[page.Task].insert(link).second && m_verbosity == Verbosity::Verbose) {
            m_line.print("refused by --include/--exclude  " + link);
        }
    } else if (m_verbosity == Verbosity::Verbose) {
        m_line.print("dropped a link of " + std::to_string(link.size()) + " bytes (" +
                     link.substr(0, 60) + "...) in " + page.URL + ": longer than 8192 bytes");
    }
}

void TerminalView::SetStatusText(int pane, const std::string& text) {
    switch (pane) {
        case kBytesPerSecPane:
            m_bytesPerSec = text;
            break;
        case kWorkTimePane:
            m_workTime = text;
            break;
        case kBytesTotalPane:
            update(true);
            break;
        case kHeldHostsPane:
            m_heldHosts = text;
            break;
        default:
            break;
    }
}

std::string TerminalView::counters() const {
    std::string text;
    for (const TTask* task : m_watched) {
        if (!text.empty()) {
            text += ", ";
        }
        text += task->Name + ": " + std::to_string(task->Total - task->Queued) + " read, " +
                std::to_string(task->Queued) + " queued";
    }
    return text;
}

std::string TerminalView::statusText() const {
    // The scheduler adds the window to the total only every 2 seconds.
    const std::int64_t bytes = m_state == nullptr ? 0 : m_state->BytesTotal + m_state->BytesWindow;
    return counters() + " | " + m_bytesPerSec + " | bytes total: " + std::to_string(bytes) + " | " +
           m_workTime + (m_heldHosts.empty() ? "" : " | " + m_heldHosts);
}

void TerminalView::update(bool statisticsStep) {
    if (m_verbosity == Verbosity::Quiet || m_watched.empty()) {
        return;
    }
    if (m_line.onTerminal()) {
        m_line.show(statusText(), statisticsStep);
        return;
    }
    // Off a terminal a status line is worth a line of its own only when the files moved.
    if (statisticsStep && counters() != m_lastPlainCounters) {
        m_lastPlainCounters = counters();
        m_line.show(statusText());
    }
}

void TerminalView::reportObject(const TDnObj& object) {
    if (!reportsObjects() || !objectSettled(object) ||
        std::find(m_watched.begin(), m_watched.end(), object.Task) == m_watched.end()) {
        return;
    }
    const ObjectState state = reportedState(object.State);
    const auto [place, added] = m_reported.try_emplace(identityOf(object), state);
    if (!added) {
        if (place->second == state) {
            return;
        }
        place->second = state;
    }
    if (m_json != nullptr) {
        *m_json << objectJson(object) << std::endl;
    }
    if (m_verbosity != Verbosity::Verbose) {
        return;
    }
    std::string line = objectStateWords(object.State);
    if (objectFailed(object) && object.Status != 0) {
        line += " " + std::to_string(object.Status);
    }
    line += "  " + object.URL;
    if (!object.LocalName.empty()) {
        line += " -> " + object.LocalName;
    } else if (object.State == ObjectState::RetrievedByOther) {
        line += " -> " + object.Location;
    }
    m_line.print(line);
}

}  // namespace quillharbor
