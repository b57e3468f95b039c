#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/parse_thread.h"

namespace quillharbor::test {

// The task of each job or result, in order.
template <class Items>
std::vector<std::uintptr_t> tasksOf(const Items& items) {
    std::vector<std::uintptr_t> tasks;
    for (const auto& item : items) {
        tasks.push_back(item.task);
    }
    return tasks;
}

// A job runner for the rewriting worker that records each job and holds it until open(), so a
// test knows which job the worker is in; it also counts the worker's results-ready calls. Waits
// are bounded: what never comes fails the test instead of hanging it.
class GatedRunner {
public:
    using Pass = std::function<RewriteResult(RewriteJob)>;
    static constexpr std::chrono::seconds kPatience{20};

    explicit GatedRunner(Pass pass = echo) : m_pass(std::move(pass)) {}
    static RewriteResult echo(RewriteJob job) { return {job.task, job.objects, job.objects, {}}; }

    TParseThread::JobRunner runner() {
        return [this](RewriteJob job) {
            {
                std::unique_lock lock(m_mutex);
                m_jobs.push_back(job);
                m_changed.notify_all();
                m_changed.wait_for(lock, kPatience, [this] { return m_open; });
            }
            return m_pass(std::move(job));
        };
    }
    std::function<void()> resultsReady() {
        return [this] { update([this] { ++m_resultsReady; }); };
    }

    void open() {
        update([this] { m_open = true; });
    }
    void waitUntilStarted(std::size_t jobs) {
        waitFor([&] { return m_jobs.size() >= jobs; });
    }
    void waitForResults(int calls) {
        waitFor([&] { return m_resultsReady >= calls; });
    }
    std::vector<RewriteJob> jobs() const {
        const std::lock_guard lock(m_mutex);
        return m_jobs;
    }

private:
    template <class Change>
    void update(Change change) {
        const std::lock_guard lock(m_mutex);
        change();
        m_changed.notify_all();
    }
    template <class Condition>
    void waitFor(Condition condition) {
        std::unique_lock lock(m_mutex);
        ASSERT_TRUE(m_changed.wait_for(lock, kPatience, condition));
    }

    Pass m_pass;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<RewriteJob> m_jobs;
    bool m_open = false;
    int m_resultsReady = 0;
};

}  // namespace quillharbor::test
