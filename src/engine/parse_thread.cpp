#include "engine/parse_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace quillharbor {

namespace {

// A nice value above the default: rewriting large sites must not slow the loop and transfers.
constexpr int kBelowNormalNice = 5;

}  // namespace

TParseThread::TParseThread(JobRunner run, std::function<void()> resultsReady)
    : m_run(std::move(run)),
      m_resultsReady(std::move(resultsReady)),
      m_thread(&TParseThread::run, this) {}

TParseThread::~TParseThread() {
    stop();
}

bool TParseThread::queue(RewriteJob job) {
    {
        const std::lock_guard lock(m_mutex);
        const auto empty =
            std::ranges::find_if(m_slots, [](const auto& slot) { return !slot.has_value(); });
        if (m_stopping || empty == m_slots.end()) {
            return false;
        }
        *empty = std::move(job);
        ++m_queuedCount;
    }
    m_wake.notify_one();
    return true;
}

bool TParseThread::replaceWaiting(RewriteJob job) {
    const std::lock_guard lock(m_mutex);
    for (std::optional<RewriteJob>& slot : m_slots) {
        if (slot && slot->task == job.task) {
            slot = std::move(job);
            return true;
        }
    }
    return false;
}

bool TParseThread::withdraw(std::uintptr_t task) {
    const std::lock_guard lock(m_mutex);
    for (std::optional<RewriteJob>& slot : m_slots) {
        if (slot && slot->task == task) {
            slot.reset();
            --m_queuedCount;
            return true;
        }
    }
    return false;
}

int TParseThread::queuedCount() const {
    const std::lock_guard lock(m_mutex);
    return m_queuedCount;
}

std::vector<RewriteResult> TParseThread::takeResults() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_results, {});
}

void TParseThread::requestStop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (std::optional<RewriteJob>& slot : m_slots) {
            if (slot) {
                slot.reset();
                --m_queuedCount;
            }
        }
    }
    m_wake.notify_one();
}

void TParseThread::stop() {
    requestStop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void TParseThread::run() {
    // Failing to lower the priority only costs responsiveness.
    static_cast<void>(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBelowNormalNice));
    std::unique_lock lock(m_mutex);
    for (;;) {
        // The predicate is checked under the lock that queue() takes, so no wake-up is lost.
        m_wake.wait(lock, [this] { return m_stopping || m_queuedCount > 0; });
        if (m_stopping) {
            return;
        }
        const auto occupied =
            std::ranges::find_if(m_slots, [](const auto& slot) { return slot.has_value(); });
        RewriteJob job = std::move(**occupied);
        occupied->reset();
        lock.unlock();
        RewriteResult result = m_run(std::move(job));
        lock.lock();
        m_results.push_back(std::move(result));
        --m_queuedCount;
        lock.unlock();
        m_resultsReady();
        lock.lock();
    }
}

}  // namespace quillharbor
