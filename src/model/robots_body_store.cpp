#include "model/robots_body_store.h"

#include <utility>

namespace quillharbor {

std::uintptr_t RobotsBodyStore::deposit(std::string body) {
    const std::uintptr_t ticket = ++m_lastTicket;
    m_bodies.emplace(ticket, std::move(body));
    return ticket;
}

std::optional<std::string> RobotsBodyStore::take(std::uintptr_t ticket) {
    const auto found = m_bodies.find(ticket);
    if (found == m_bodies.end()) {
        return std::nullopt;
    }
    std::optional<std::string> body(std::move(found->second));
    m_bodies.erase(found);
    return body;
}

}  // namespace quillharbor
