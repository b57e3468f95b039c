// The dial-up module's entry points, found by name by the program that loads it. Results are
// single bytes, non-zero meaning true; each call returns at once.

#include "ui/qt/dialwatch/ppp_links.h"
#include "platform/ppp_daemon.h"

#define DIALWATCH_ENTRY extern "C" __attribute__((visibility("default")))

// Dial-up networking is installed: the PPP daemon is present.
DIALWATCH_ENTRY unsigned char IsRASInstalled() {
    return quillharbor::pppDaemonProgram().has_value() ? 1 : 0;
}

// A dial-up link is up now.
DIALWATCH_ENTRY unsigned char IsRASConnected() {
    return quillharbor::upPppLinks().empty() ? 0 : 1;
}

// Every link that is up is ended by its daemon.
DIALWATCH_ENTRY void Hangup() {
    for (const std::string& link : quillharbor::upPppLinks()) {
        quillharbor::hangUpLink(link);
    }
}
