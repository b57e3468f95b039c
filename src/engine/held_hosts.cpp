#include "engine/held_hosts.h"

#include <algorithm>
#include <chrono>

#include "clients/busy_answer.h"
#include "storage/held_hosts_file.h"

namespace quillharbor {

namespace {

using WallClock = std::chrono::system_clock;
using std::chrono::seconds;

}  // namespace

Status saveHeldHosts(EngineContext& context) {
    HostTable& hosts = context.state.Queue.hosts();
    const HostTable::Clock::time_point now = HostTable::Clock::now();
    const WallClock::time_point wallNow = WallClock::now();
    std::vector<HeldHost> held;
    for (const auto& [id, until] : hosts.heldHosts(now)) {
        const auto end = std::chrono::ceil<seconds>(wallNow + (until - now));
        held.push_back(HeldHost{hosts.name(id), end.time_since_epoch().count()});
    }
    return writeHeldHosts(context.programDir, held);
}

void restoreHeldHosts(EngineContext& context) {
    HostTable& hosts = context.state.Queue.hosts();
    const auto wallNow = std::chrono::floor<seconds>(WallClock::now()).time_since_epoch().count();
    for (const HeldHost& held : readHeldHosts(context.programDir)) {
        // A clock set back since must not hold a host for longer than any answer may ask.
        const seconds left = std::min(seconds(held.until - wallNow), kLongestHold);
        if (left > seconds(0)) {
            hosts.holdUntil(hosts.intern(held.host), HostTable::Clock::now() + left);
        }
    }
}

}  // namespace quillharbor
