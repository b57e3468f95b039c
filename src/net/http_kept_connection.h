#pragma once

#include <chrono>
#include <string>

#include "net/http_target.h"

namespace quillharbor {

// The connection a finished request left open, and whom it may serve next: a request to the same
// server and port over the same kind of session (a TLS session goes on with it), as long as it
// has not sat idle so long that the server is likely to close it any moment.
class KeptConnection {
public:
    using Clock = std::chrono::steady_clock;
    // Servers commonly close an idle connection after 5 s (nginx after 75 s).
    static constexpr auto MaxIdle = std::chrono::seconds(4);

    // What must match for a request to go over a kept connection.
    static std::string keyOf(const HttpTarget& target, bool verifyCertificates);

    void keep(std::string key, Clock::time_point now);
    void drop() { m_key.clear(); }
    bool serves(const std::string& key, Clock::time_point now) const;
    // Something is kept that may still serve a request at now.
    bool live(Clock::time_point now) const {
        return !m_key.empty() && now - m_idleSince <= MaxIdle;
    }

private:
    std::string m_key;  // empty: nothing is kept
    Clock::time_point m_idleSince;
};

}  // namespace quillharbor
