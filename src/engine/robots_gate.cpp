#include "engine/robots_gate.h"

#include <algorithm>
#include <vector>

#include "model/message_identity.h"
#include "parser/robots_rules.h"
#include "parser/url_helpers.h"

namespace quillharbor {

bool RobotsGate::Applies(const TDnObj& object) const {
    return UrlProtocol(object.URL) != Protocol::Ftp && m_context.state.ObeyRobots &&
           !object.Task->Grab.NoRobots;
}

bool RobotsGate::Admits(const TDnObj& object) const {
    EngineState& state = m_context.state;
    const THostExcl* known = state.HostExclList.HostExclFind(HostPart(object.URL));
    return known != nullptr && known->RobotsDone != 0 &&
           !IsExcluded(object.URL, state.DisallowList);
}

void RobotsGate::GateNewObject(TDnObj& object, std::int32_t pageLevel) {
    EngineState& state = m_context.state;
    const std::string host = HostPart(object.URL);
    const THostExcl* known = state.HostExclList.HostExclFind(host);
    if (known == nullptr) {
        state.HostExclList.HostExclAdd(host, 0);
        state.WaitList.WaitInsert(object);
        askForRobots(host, *object.Task, pageLevel);
    } else if (known->RobotsDone == 0) {
        state.WaitList.WaitInsert(object);
    } else if (IsExcluded(object.URL, state.DisallowList)) {
        exclude(object);
    } else {
        queueObject(object);
    }
}

void RobotsGate::OnRobotsAnswer(TDnObj& request, std::string_view body) {
    EngineState& state = m_context.state;
    const std::string host = HostPart(request.URL);
    THostExcl* known = state.HostExclList.HostExclFind(host);
    if (request.State != ObjectState::RobotsRequest || known == nullptr || known->RobotsDone != 0) {
        return;
    }
    known->RobotsDone = 1;
    TTask& requestTask = *request.Task;
    // The request was counted like a file until now; it stays in its task's object list.
    --requestTask.Queued;
    --requestTask.Total;
    ParseRobotsTxt(body, state.DisallowList, request.URL);

    std::vector<TTask*> touched{&requestTask};
    for (TDnObj* waiting : state.WaitList.WaitTakeHost(host)) {
        if (IsExcluded(waiting->URL, state.DisallowList)) {
            exclude(*waiting);
        } else {
            queueObject(*waiting);
        }
        if (std::find(touched.begin(), touched.end(), waiting->Task) == touched.end()) {
            touched.push_back(waiting->Task);
        }
    }
    for (TTask* task : touched) {
        m_context.services.view.ShowTaskCounters(*task);
        if (task->Queued == 0) {
            m_context.post(EngineMessage::TaskEnded, identityOf(*task));
        }
    }
}

void RobotsGate::forgetTask(const TTask& task) {
    EngineState& state = m_context.state;
    for (const TDnObj& object : task.Objects) {
        if (object.State != ObjectState::RobotsRequest) {
            continue;
        }
        const std::string host = HostPart(object.URL);
        const THostExcl* known = state.HostExclList.HostExclFind(host);
        if (known == nullptr || known->RobotsDone != 0) {
            continue;
        }
        if (TDnObj* waiting = state.WaitList.WaitFirstOf(host)) {
            askForRobots(host, *waiting->Task, waiting->Level - 1);
        } else {
            state.HostExclList.HostExclRemove(host);
        }
    }
}

void RobotsGate::queueObject(TDnObj& object) {
    object.State = ObjectState::Queued;
    m_context.services.view.AddObjectRow(object);
    m_context.state.Queue.Enqueue(object);
}

void RobotsGate::askForRobots(const std::string& host, TTask& task, std::int32_t level) {
    // A task that already holds this URL as an ordinary object (a page linked to the file) gets
    // the request beside it: links keep finding the ordinary object, and the rules are read all
    // the same.
    TDnObj& request = AddDnObj(task, host + "/robots.txt", level);
    request.State = ObjectState::RobotsRequest;
    m_context.state.Queue.Enqueue(request);
    m_context.services.view.ShowTaskCounters(task);
}

void RobotsGate::exclude(TDnObj& object) {
    TTask& task = *object.Task;
    --task.Queued;
    --task.Total;
    object.State = ObjectState::Excluded;
    m_context.post(EngineMessage::ObjectExcluded, identityOf(object));
}

}  // namespace quillharbor
