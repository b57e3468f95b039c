#include "cli/interrupt_signal.h"

namespace quillharbor {

namespace {

volatile std::sig_atomic_t g_raised = 0;

extern "C" void onInterrupt(int) {
    g_raised = 1;
}

}  // namespace

InterruptSignal::InterruptSignal() {
    g_raised = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in progress returns early and the flag is seen sooner.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
}

InterruptSignal::~InterruptSignal() {
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}

bool InterruptSignal::raised() const {
    return g_raised != 0;
}

}  // namespace quillharbor
