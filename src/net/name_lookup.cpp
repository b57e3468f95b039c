#include "net/name_lookup.h"

#include "net/name_resolution.h"
#include "net/socket_address.h"
#include "net/socket_error.h"
#include "platform/message_loop.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillharbor {

NameLookup& NameLookup::instance() {
    static NameLookup lookup;
    return lookup;
}

NameLookup::NameLookup() = default;

NameLookup::~NameLookup() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_requests.clear();
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

std::uintptr_t NameLookup::lookupHost(MessageLoop& loop, Handle target, unsigned number,
                                      std::string host) {
    return start(Request{&loop, target, number, false, std::move(host), 0, false, {}});
}

std::uintptr_t NameLookup::lookupAddress(MessageLoop& loop, Handle target, unsigned number,
                                         std::uint32_t address) {
    return start(Request{&loop, target, number, true, {}, address, false, {}});
}

std::uintptr_t NameLookup::start(Request request) {
    std::uintptr_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = ++m_lastId;
        m_requests.emplace(id, std::move(request));
        m_queue.push_back(id);
        // Workers start with the first request, so a program that never looks up has no threads.
        if (m_workers.empty())
            for (int i = 0; i < WorkerCount; ++i) m_workers.emplace_back([this] { work(); });
    }
    m_wake.notify_one();
    return id;
}

bool NameLookup::cancel(std::uintptr_t id) {
    std::lock_guard lock(m_mutex);
    const auto queued = std::find(m_queue.begin(), m_queue.end(), id);
    if (queued != m_queue.end())
        m_queue.erase(queued);
    return m_requests.erase(id) > 0;
}

std::vector<std::string> NameLookup::takeResult(std::uintptr_t id) {
    std::lock_guard lock(m_mutex);
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || !found->second.answered)
        return {};
    std::vector<std::string> result = std::move(found->second.result);
    m_requests.erase(found);
    return result;
}

std::size_t NameLookup::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

void NameLookup::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        const std::uintptr_t id = m_queue.front();
        m_queue.pop_front();
        const Request request = m_requests.at(id);
        lock.unlock();
        std::vector<std::string> result;
        const int error = resolve(request, result);
        lock.lock();
        const auto found = m_requests.find(id);
        if (found == m_requests.end())
            continue;  // cancelled meanwhile: the answer goes nowhere
        found->second.answered = true;
        found->second.result = std::move(result);
        // Posting under the lock: a cancel that returned has made sure no answer follows, and
        // the requester's loop outlives every request it has not cancelled.
        found->second.loop->post(
            found->second.target, found->second.number, id,
            static_cast<std::intptr_t>(static_cast<std::uintptr_t>(error) << 16));
    }
}

int NameLookup::resolve(const Request& request, std::vector<std::string>& result) {
    if (request.reverse) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = request.address;
        char name[NI_MAXHOST] = {};
        const int status = getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address,
                                       name, sizeof name, nullptr, 0, NI_NAMEREQD);
        if (status != 0)
            return socketErrorFromAddrInfo(status, errno);
        result.emplace_back(name);
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int status = getaddrinfo(request.host.c_str(), nullptr, &hints, &list);
    if (status != 0)
        return socketErrorFromAddrInfo(status, errno);
    std::vector<std::string> found;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        sockaddr_storage storage{};
        std::memcpy(&storage, entry->ai_addr, entry->ai_addrlen);
        found.push_back(SocketAddress::fromSystem(storage, entry->ai_addrlen).text());
    }
    freeaddrinfo(list);
    result = alternateFamilies(found);
    return result.empty() ? WSANO_DATA : 0;
}

}  // namespace quillharbor
