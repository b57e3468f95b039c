#pragma once

#include "platform/message.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace quillharbor {

class MessageLoop;

// Host-name and address look-ups on a small pool of worker threads. A look-up is handed in by
// value and answered by a message posted to the requesting target: (number, wParam = the
// request id, lParam = the Windows Sockets error << 16). The result stays here until the target
// takes it.
//
// Threads: every function may be called from any thread. Cancelling a request guarantees that
// no message for it is posted afterwards, so a target cancels its pending request before it is
// destroyed, and before its loop is.
class NameLookup {
public:
    static NameLookup& instance();

    NameLookup();
    ~NameLookup();
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;

    // Every address of a host name (IPv4 dotted, IPv6 compressed), in the order they are to be
    // tried (alternateFamilies). Returns the request id (never 0).
    std::uintptr_t lookupHost(MessageLoop& loop, Handle target, unsigned number, std::string host);
    // The name of an IPv4 address (network byte order), as a list of one.
    std::uintptr_t lookupAddress(MessageLoop& loop, Handle target, unsigned number,
                                 std::uint32_t address);

    // Forgets a request, answered or not. False when the id is unknown.
    bool cancel(std::uintptr_t id);

    // Takes (and forgets) the result of an answered request; empty when there is none.
    std::vector<std::string> takeResult(std::uintptr_t id);

    // Requests started and not yet taken or cancelled, for tests.
    std::size_t pendingCount() const;

private:
    struct Request {
        MessageLoop* loop;
        Handle target;
        unsigned number;
        bool reverse;
        std::string host;
        std::uint32_t address;
        bool answered = false;
        std::vector<std::string> result;
    };

    std::uintptr_t start(Request request);
    void work();
    static int resolve(const Request& request, std::vector<std::string>& result);

    static constexpr int WorkerCount = 2;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::uintptr_t> m_queue;
    std::unordered_map<std::uintptr_t, Request> m_requests;
    std::uintptr_t m_lastId = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

}  // namespace quillharbor
