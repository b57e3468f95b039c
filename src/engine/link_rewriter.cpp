#include "engine/link_rewriter.h"

#include <utility>

#include "model/message_identity.h"

namespace quillharbor {

namespace {

// The worker's only message: results are waiting in the thread's mailbox.
constexpr unsigned kResultsReady = WM_USER + 1;

bool sameFields(const TDnObj& object, const RewriteJob::Object& copy) {
    return object.LocalName == copy.LocalName && object.ContentType == copy.ContentType &&
           object.State == copy.State && object.Received == copy.Received &&
           object.Size == copy.Size;
}

// An object the loop's thread changed since it was copied (a task restarted meanwhile) keeps
// what it has: mixing in the pass's fields would leave it half one and half the other.
bool takeOver(TDnObj& object, const RewriteJob::Object& before, const RewriteJob::Object& after) {
    if (!sameFields(object, before) || sameFields(object, after)) {
        return false;
    }
    SetLocalName(object, after.LocalName);
    object.ContentType = after.ContentType;
    object.State = after.State;
    object.Received = after.Received;
    object.Size = after.Size;
    return true;
}

}  // namespace

LinkRewriter::LinkRewriter(MessageLoop& loop, EngineView& view, TParseThread::JobRunner run)
    : m_loop(loop),
      m_view(view),
      m_handle(loop.add(*this)),
      m_thread(std::move(run), [&loop, handle = m_handle] { loop.post(handle, kResultsReady); }) {}

LinkRewriter::~LinkRewriter() {
    m_thread.stop();
    m_loop.remove(m_handle);
}

void LinkRewriter::QueueTaskForParsing(TTask& task) {
    const std::uintptr_t identity = identityOf(task);
    if (m_state == nullptr || identity == 0) {
        return;
    }
    if (m_outstanding.contains(identity)) {
        if (!m_thread.replaceWaiting(snapshot(task))) {
            m_requeue.insert(identity);
        }
        return;
    }
    if (m_thread.queue(snapshot(task))) {
        m_outstanding.insert(identity);
    }
}

void LinkRewriter::forgetTask(const TTask& task) {
    const std::uintptr_t identity = identityOf(task);
    if (m_thread.withdraw(identity)) {
        m_outstanding.erase(identity);
    }
    m_requeue.erase(identity);
}

void LinkRewriter::stop() {
    m_thread.stop();
    applyResults();
    m_outstanding.clear();
    m_requeue.clear();
}

void LinkRewriter::onMessage(const Message& message) {
    if (message.number == kResultsReady) {
        applyResults();
    }
}

RewriteJob LinkRewriter::snapshot(const TTask& task) const {
    RewriteJob job{identityOf(task), task.Dir, m_state->SaveSeparate, {}};
    job.objects.reserve(task.Objects.size());
    for (const TDnObj& object : task.Objects) {
        job.objects.push_back({identityOf(object), object.URL, object.Location, object.LocalName,
                               object.ContentType, object.State, object.Received, object.Size});
    }
    return job;
}

void LinkRewriter::applyResults() {
    for (const RewriteResult& result : m_thread.takeResults()) {
        apply(result);
    }
}

void LinkRewriter::apply(const RewriteResult& result) {
    m_outstanding.erase(result.task);
    TTask* task = m_state == nullptr ? nullptr : taskByIdentity(m_state->TaskList, result.task);
    if (task == nullptr) {
        m_requeue.erase(result.task);
        return;
    }
    for (std::size_t i = 0; i < result.after.size(); ++i) {
        TDnObj* object = objectByIdentity(m_state->TaskList, result.after[i].identity);
        if (object != nullptr && takeOver(*object, result.before[i], result.after[i])) {
            m_view.RefreshObjectRow(*object);
        }
    }
    if (!result.status) {
        m_view.ShowNotification("The links of task " + task->Name +
                                " were not all rewritten: " + result.status.error().text);
    }
    if (m_requeue.erase(result.task) > 0) {
        QueueTaskForParsing(*task);
    }
}

}  // namespace quillharbor
