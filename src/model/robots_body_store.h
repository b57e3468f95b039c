#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace quillharbor {

// robots.txt bodies on their way from an HTTP slot to the engine. The slot deposits a body and
// posts the ticket in the wParam of RobotsAnswer (WM_USER+140); the engine takes the body when
// the message arrives, whether or not the request's object still exists. A body whose message is
// dropped on the way (the engine left the loop first) is freed with the store, never leaked.
class RobotsBodyStore {
public:
    // The ticket for the body; never 0, which means "no body" in the message.
    std::uintptr_t deposit(std::string body);
    // The body of the ticket, removed from the store; nothing for 0 or an unknown ticket.
    std::optional<std::string> take(std::uintptr_t ticket);

    std::size_t size() const { return m_bodies.size(); }

private:
    std::unordered_map<std::uintptr_t, std::string> m_bodies;
    std::uintptr_t m_lastTicket = 0;
};

}  // namespace quillharbor
