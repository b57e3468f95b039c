#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

// The dial-up links of this machine's network namespace: interfaces named ppp* (pppd names its
// links so) that are up.
std::vector<std::string> upPppLinks();

// The daemon's pid from the contents of its pid file ("1234\nppp0\n"): the first line, decimal
// digits only. Nothing for 0, 1 or anything else: a signal to pid 0 or -1 would reach whole
// process groups, and pid 1 is never a PPP daemon.
std::optional<pid_t> pidInPidFile(std::string_view contents);

// Asks the daemon of link to end it (SIGTERM: the link goes down and the daemon leaves, where
// SIGHUP would let a "persist" daemon dial again). Only a process that still runs the daemon's
// program is signalled, so a stale pid file never ends someone else's process. Returns whether
// a signal was sent.
bool hangUpLink(const std::string& link);

}  // namespace quillharbor
