#include "platform/message_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

namespace quillharbor {

namespace {

constexpr int kEventBatch = 64;

int checked(int result, const char* what) {
    if (result < 0) {
        throw std::system_error(errno, std::generic_category(), what);
    }
    return result;
}

void watchLevel(int epoll, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    checked(epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event), "epoll_ctl");
}

// Readiness is taken edge-triggered: a kind that is not enabled may let an edge pass, because
// enabling it again re-registers the descriptor, and that reports whatever is ready by then.
epoll_event socketEvent(int fd, const SocketWatch& watch) {
    epoll_event event{};
    event.events = watch.interest() | EPOLLET;
    event.data.fd = fd;
    return event;
}

}  // namespace

MessageLoop::MessageLoop() {
    m_epoll = checked(epoll_create1(EPOLL_CLOEXEC), "epoll_create1");
    m_wakeup = checked(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "eventfd");
    m_timerFd = checked(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK), "timerfd");
    watchLevel(m_epoll, m_wakeup);
    watchLevel(m_epoll, m_timerFd);
}

MessageLoop::~MessageLoop() {
    close(m_timerFd);
    close(m_wakeup);
    close(m_epoll);
}

Handle MessageLoop::add(MessageTarget& target) {
    std::lock_guard lock(m_mutex);
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_targets.contains(m_lastHandle));
    m_targets.emplace(m_lastHandle, &target);
    return m_lastHandle;
}

void MessageLoop::remove(Handle handle) {
    {
        std::lock_guard lock(m_mutex);
        if (m_targets.erase(handle) == 0) {
            return;
        }
    }
    purge([handle](const Queued& queued) { return queued.target == handle; });
    m_timers.stopAllOf(handle);
    armTimerDescriptor();
    std::vector<int> watched;
    for (const auto& [fd, watch] : m_sockets) {
        if (watch.target() == handle) {
            watched.push_back(fd);
        }
    }
    for (const int fd : watched) {
        unwatchSocket(fd);
    }
}

bool MessageLoop::post(Handle handle, unsigned number, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    std::lock_guard lock(m_mutex);
    if (!m_targets.contains(handle)) {
        return false;
    }
    m_queue.push_back(Queued{handle, Message{number, wParam, lParam}});
    signalLocked();
    return true;
}

unsigned MessageLoop::startTimer(Handle target, std::chrono::milliseconds period) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_targets.contains(target)) {
            return 0;
        }
    }
    const unsigned id = m_timers.start(target, period, TimerQueue::Clock::now());
    armTimerDescriptor();
    return id;
}

void MessageLoop::stopTimer(unsigned timerId) {
    m_timers.stop(timerId);
    armTimerDescriptor();
}

int MessageLoop::watchSocket(int fd, Handle target, unsigned number, unsigned kinds,
                             SocketRole role) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_targets.contains(target)) {
            return EINVAL;
        }
    }
    const SocketWatch watch(fd, target, number, kinds, role);
    if (watch.error() != 0) {
        return watch.error();
    }
    // ADD fails with EEXIST for a descriptor watched before; MOD then replaces its selection.
    epoll_event event = socketEvent(fd, watch);
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0 &&
        (errno != EEXIST || epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event) != 0)) {
        return errno;
    }
    m_sockets.insert_or_assign(fd, watch);
    return 0;
}

void MessageLoop::reenableSocketEvents(int fd, unsigned kinds) {
    const auto found = m_sockets.find(fd);
    if (found == m_sockets.end()) {
        return;
    }
    found->second.reenable(kinds);
    // Always re-registered, even with an unchanged interest: that is what reports a condition
    // (data still waiting, space freed meanwhile) whose edge passed while the kind was quiet.
    epoll_event event = socketEvent(fd, found->second);
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
}

void MessageLoop::readDrained(int fd) {
    const auto found = m_sockets.find(fd);
    if (found == m_sockets.end()) {
        return;
    }
    const std::uint32_t before = found->second.interest();
    found->second.reenable(FD_READ);
    if (found->second.interest() != before) {
        epoll_event event = socketEvent(fd, found->second);
        epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
    }
}

void MessageLoop::unwatchSocket(int fd) {
    const auto found = m_sockets.find(fd);
    if (found == m_sockets.end()) {
        return;
    }
    const Handle target = found->second.target();
    const unsigned number = found->second.number();
    m_sockets.erase(found);
    // Fails harmlessly when the descriptor was closed first: closing removed it from epoll.
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    purge([&](const Queued& queued) {
        return queued.target == target && queued.message.number == number &&
               queued.message.wParam == static_cast<std::uintptr_t>(fd);
    });
}

bool MessageLoop::processPending() {
    waitForWork(0);
    const bool delivered = deliverMessages();
    const bool ticked = tickTimers();
    return delivered || ticked;
}

void MessageLoop::runOnce(std::chrono::milliseconds maxWait) {
    waitForWork(
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(maxWait.count(), 0, INT_MAX)));
    processPending();
}

void MessageLoop::run() {
    while (!m_quitRequested.exchange(false)) {
        waitForWork(-1);
        processPending();
    }
}

void MessageLoop::quit() {
    m_quitRequested = true;
    std::lock_guard lock(m_mutex);
    signalLocked();
}

std::size_t MessageLoop::targetCount() const {
    std::lock_guard lock(m_mutex);
    return m_targets.size();
}

void MessageLoop::waitForWork(int timeoutMs) {
    std::array<epoll_event, kEventBatch> events{};
    int count = epoll_wait(m_epoll, events.data(), kEventBatch, timeoutMs);
    while (count > 0) {
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            // The wake-up and timer descriptors only end the wait; messages and timers are
            // looked at directly.
            if (fd != m_wakeup && fd != m_timerFd) {
                takeReadiness(fd, events[i].events);
            }
        }
        count = count == kEventBatch ? epoll_wait(m_epoll, events.data(), kEventBatch, 0) : 0;
    }
}

void MessageLoop::takeReadiness(int fd, std::uint32_t epollEvents) {
    const auto found = m_sockets.find(fd);
    if (found == m_sockets.end()) {
        return;
    }
    SocketWatch& watch = found->second;
    const std::uint32_t before = watch.interest();
    for (const std::intptr_t reply : watch.onReadiness(epollEvents)) {
        post(watch.target(), watch.number(), static_cast<std::uintptr_t>(fd), reply);
    }
    // Re-registering reports what is still ready, so it is done only when the interest changed;
    // otherwise a condition nobody waits for would come back on every pass. A peer closes once,
    // so losing only EPOLLRDHUP needs none.
    const std::uint32_t after = watch.interest();
    if (after != before && (after | EPOLLRDHUP) != (before | EPOLLRDHUP)) {
        epoll_event event = socketEvent(fd, watch);
        epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
    }
}

bool MessageLoop::deliverMessages() {
    std::size_t budget = 0;
    {
        std::lock_guard lock(m_mutex);
        budget = m_queue.size();
        clearSignalLocked();
    }
    bool delivered = false;
    for (; budget > 0; --budget) {
        MessageTarget* target = nullptr;
        Message message{};
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                break;
            }
            const Queued next = m_queue.front();
            m_queue.pop_front();
            clearSignalLocked();
            const auto found = m_targets.find(next.target);
            if (found == m_targets.end()) {
                continue;
            }
            target = found->second;
            message = next.message;
        }
        // Only this thread removes targets, so the target outlives the lock.
        target->onMessage(message);
        delivered = true;
    }
    return delivered;
}

bool MessageLoop::tickTimers() {
    const auto due = m_timers.takeDue(TimerQueue::Clock::now());
    if (due.empty()) {
        return false;
    }
    armTimerDescriptor();
    bool ticked = false;
    for (const unsigned id : due) {
        // Stopped by an earlier handler of this pass, or this timer's own handler is pumping.
        const auto handle = m_timers.beginTick(id);
        if (!handle) {
            continue;
        }
        struct EndTick {
            TimerQueue& timers;
            unsigned id;
            ~EndTick() { timers.endTick(id); }
        } endTick{m_timers, id};
        MessageTarget* target = nullptr;
        {
            std::lock_guard lock(m_mutex);
            target = m_targets.at(*handle);
        }
        target->onMessage(Message{WM_TIMER, id, 0});
        ticked = true;
    }
    return ticked;
}

void MessageLoop::armTimerDescriptor() {
    const auto deadline = m_timers.nextDeadline();
    // Setting the same deadline again changes nothing (a descriptor that expired stays
    // readable), and most timers started or stopped are not the earliest.
    if (deadline == m_armedDeadline) {
        return;
    }
    m_armedDeadline = deadline;
    itimerspec setting{};
    if (deadline) {
        const auto since = deadline->time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        setting.it_value.tv_sec = seconds.count();
        setting.it_value.tv_nsec =
            std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count();
        // An all-zero value would disarm the timer instead of expiring at once.
        if (setting.it_value.tv_sec == 0 && setting.it_value.tv_nsec == 0) {
            setting.it_value.tv_nsec = 1;
        }
    }
    timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void MessageLoop::signalLocked() {
    if (!m_signalled) {
        const std::uint64_t one = 1;
        m_signalled = write(m_wakeup, &one, sizeof one) == sizeof one;
    }
}

void MessageLoop::clearSignalLocked() {
    if (m_signalled && m_queue.empty()) {
        std::uint64_t count = 0;
        m_signalled = read(m_wakeup, &count, sizeof count) != sizeof count;
    }
}

template <typename Predicate>
void MessageLoop::purge(Predicate matches) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_queue, matches);
    clearSignalLocked();
}

}  // namespace quillharbor
