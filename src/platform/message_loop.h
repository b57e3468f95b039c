#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/message.h"
#include "platform/message_target.h"
#include "platform/socket_events.h"
#include "platform/socket_watch.h"
#include "platform/timer_queue.h"

namespace quillharbor {

// The message loop of the main thread: posted messages to registered targets, periodic timers
// and socket readiness, all delivered as calls to MessageTarget::onMessage on the thread that
// runs the loop. post() and quit() may be called from any thread; everything else belongs to
// the loop's thread.
//
// Messages to one target arrive in posting order; a message whose target was removed before it
// was delivered is dropped. Timer ticks come after the messages that were waiting.
//
// Socket readiness works like an asynchronous-select interface. watchSocket() selects event
// kinds (FD_READ ... FD_CLOSE) for a descriptor; each event arrives as a message to the chosen
// target with the chosen number, wParam = the descriptor and lParam = makeSelectReply(kind,
// errno value or 0). Every kind is reported once and then stays quiet until it is consumed:
//  - FD_CONNECT once, when a non-blocking connect finishes, with its error. A failed connect
//    reports nothing else. Watch the socket before calling connect(): a socket that is already
//    connected when watched (an accepted one, say) gets no FD_CONNECT.
//  - FD_WRITE once when the socket is first writable (after its connect), then only after
//    reenableSocketEvents(fd, FD_WRITE), which the owner calls when a send would block.
//  - FD_READ when data is waiting; the next one only after reenableSocketEvents(fd, FD_READ),
//    which the owner calls when it stops reading with data left (it comes at once if data is
//    still waiting), or readDrained(fd), which it calls when a receive came back short or would
//    block (it comes with the next bytes, and costs no system call).
//  - FD_OOB likewise for urgent data; FD_ACCEPT likewise for a listening socket (watch it after
//    listen()), re-enabled after each accept.
//  - FD_CLOSE once when the peer closed or reset the connection, with the socket's error (0 for
//    an orderly close). Waiting data is reported as FD_READ first when FD_READ is enabled; the
//    data stays readable after FD_CLOSE.
// Errors travel inside the replies, never as exceptions. An exception thrown by a handler leaves
// the loop consistent and propagates out of processPending(), runOnce() or run().
class MessageLoop {
public:
    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // Registers a target; the loop does not own it. Handles are not reused while the loop lives
    // (short of 2^32 registrations).
    Handle add(MessageTarget& target);
    // Unregisters a target: messages queued for it are dropped, its timers stop and its sockets
    // are no longer watched. Unknown handles are ignored. Safe inside any handler.
    void remove(Handle handle);
    // Queues a message; thread-safe. Returns false, and queues nothing, for a dead handle.
    bool post(Handle handle, unsigned number, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Sends WM_TIMER (wParam = the returned id, never 0) to the target every period, measured on
    // the monotonic clock. Late ticks do not shift later ones; periods missed while the loop was
    // busy give a single tick; a timer's handler is never re-entered by its own timer. Periods
    // under 1 ms count as 1 ms. Returns 0 for a dead handle.
    unsigned startTimer(Handle target, std::chrono::milliseconds period);
    // Stops a timer; no tick follows, even one already due. Unknown ids are ignored.
    void stopTimer(unsigned timerId);

    // Selects the event kinds to report for a socket descriptor, replacing an earlier selection
    // (all selected kinds are enabled again). A mask of 0 keeps the descriptor watched but
    // silent. Returns 0, or an errno value: EINVAL for a dead target, ENOTSOCK or EBADF for a
    // descriptor that is no socket, or what epoll refused with. A role other than Unknown tells
    // what the socket is, so the system is not asked.
    int watchSocket(int fd, Handle target, unsigned number, unsigned kinds,
                    SocketRole role = SocketRole::Unknown);
    // Enables FD_READ, FD_WRITE, FD_OOB and FD_ACCEPT again (where selected); other bits and
    // unwatched descriptors are ignored.
    void reenableSocketEvents(int fd, unsigned kinds);
    // Enables FD_READ again for a stream socket its owner has just read empty: the next bytes
    // to arrive are reported without the descriptor being registered again.
    void readDrained(int fd);
    // Stops watching and drops the descriptor's readiness messages still queued. Call it before
    // closing the descriptor. Unknown descriptors are ignored.
    void unwatchSocket(int fd);

    // Readable whenever there is something to do: a message waiting, a timer due or socket
    // readiness to look at. A toolkit's own loop watches it and calls processPending().
    int descriptor() const { return m_epoll; }

    // Without blocking: turns socket readiness into messages, delivers the messages that are
    // waiting when it starts (messages posted meanwhile wait for the next call, so a handler
    // that keeps posting cannot starve the caller), then ticks the due timers. Returns whether
    // any handler ran. May be called from inside a handler to keep messages flowing while it
    // waits for something; the other handlers must then tolerate that nesting.
    bool processPending();
    // Waits up to maxWait for something to do (not at all when something is waiting), then
    // processes it like processPending().
    void runOnce(std::chrono::milliseconds maxWait);
    // Runs until quit() is called; a quit() that came earlier ends it at once.
    void run();
    // Thread-safe; ends run() after the current step.
    void quit();

    // Live counts, so that tests can show nothing was left behind.
    std::size_t targetCount() const;
    std::size_t timerCount() const { return m_timers.size(); }
    std::size_t watchedSocketCount() const { return m_sockets.size(); }

private:
    struct Queued {
        Handle target;
        Message message;
    };

    void waitForWork(int timeoutMs);
    void takeReadiness(int fd, std::uint32_t epollEvents);
    void updateInterest(int fd, const SocketWatch& watch);
    bool deliverMessages();
    bool tickTimers();
    void armTimerDescriptor();
    void signalLocked();
    void clearSignalLocked();
    template <typename Predicate>
    void purge(Predicate matches);

    int m_epoll = -1;
    int m_wakeup = -1;  // eventfd, readable while messages wait or quit was asked for
    int m_timerFd = -1;
    // What the timer descriptor was last set to (none: disarmed).
    std::optional<TimerQueue::Clock::time_point> m_armedDeadline;

    mutable std::mutex m_mutex;  // guards m_targets, m_queue, m_signalled, m_lastHandle
    std::unordered_map<Handle, MessageTarget*> m_targets;
    std::deque<Queued> m_queue;
    bool m_signalled = false;
    Handle m_lastHandle = 0;

    TimerQueue m_timers;
    std::unordered_map<int, SocketWatch> m_sockets;
    std::atomic<bool> m_quitRequested{false};
};

}  // namespace quillharbor
