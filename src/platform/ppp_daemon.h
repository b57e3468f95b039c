#pragma once

#include <optional>
#include <string>

namespace quillharbor {

// Where the PPP daemon (pppd), which brings dial-up links up and ends them, lives on this
// machine. QUILLHARBOR_PPPD and QUILLHARBOR_PPP_RUN_DIR name others, for stand-ins in tests.
// Safe on any thread that does not change the environment meanwhile.

// The daemon's program when it is present: QUILLHARBOR_PPPD when set, else /usr/sbin/pppd or
// /sbin/pppd. Presence, not permission: Debian's pppd may be run only by the dip group.
std::optional<std::string> pppDaemonProgram();

// The folder of the daemon's pid files ("ppp0.pid" for link ppp0), without a trailing "/":
// QUILLHARBOR_PPP_RUN_DIR when set, else /var/run.
std::string pppRunDirectory();

}  // namespace quillharbor
