#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_fakes.h"
#include "engine/engine_link_intake.h"
#include "engine/storage_task_file_writer.h"
#include "model/message_identity.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor::test {

// An engine over a temporary program directory, with recording fakes around it and fake slots
// whose transfers the test ends. The loop is driven step by step; nothing sleeps. A test may
// take the real link intake or the real task file writer instead of the recording ones.
class EngineTest : public ::testing::Test {
protected:
    void writeSettings(const std::string& ini) {
        ASSERT_TRUE(replaceFileAtomically(m_dir / "Quillharbor.ini", ini).ok());
    }
    Engine& startWith(const std::string& general) {
        writeSettings("[General]\n" + general);
        return start();
    }
    Engine& start() {
        m_engine.reset();
        TaskFileWriter& files = m_realTaskFiles ? storageTaskFiles() : m_taskFiles;
        LinkIntake& intake = m_realIntake ? static_cast<LinkIntake&>(m_links) : m_intake;
        m_engine = std::make_unique<Engine>(
            EngineServices{m_loop, m_view, m_drop, m_dialUp, files, intake, m_rewriter, &m_slots},
            m_dir.path());
        return *m_engine;
    }
    Engine& engine() { return *m_engine; }
    EngineState& state() { return m_engine->state(); }

    // A task from the defaults with this name and URL.
    TTask* create(const std::string& name, const std::string& url = "http://h/docs/") {
        m_engine->PrepareNewTaskParams();
        m_engine->newTaskParams().Name = name;
        m_engine->newTaskParams().URL = url;
        return m_engine->CreateTask();
    }
    // Runs a command over these selected tasks.
    void onSelected(void (Engine::*command)(), std::vector<TTask*> tasks) {
        m_view.selection = std::move(tasks);
        (engine().*command)();
    }
    // Runs a command over these objects selected in one object list.
    void onObjects(void (Engine::*command)(), ObjectListPage page, std::vector<TDnObj*> objects) {
        m_view.objectSelection = {{page, std::move(objects)}};
        (engine().*command)();
    }
    void post(EngineMessage message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        m_loop.post(m_engine->handle(), messageNumber(message), wParam, lParam);
    }
    // Runs the loop until nothing is left to do (a few rounds at most).
    void pump() {
        for (int round = 0; round < 10 && m_loop.processPending(); ++round) {
        }
    }
    // Runs the scheduler, then the messages it posted, as the loop would before the next tick.
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            engine().Timer1Timer();
            pump();
        }
    }
    std::string root() const { return m_dir / "My Downloads/"; }
    FakeHttpSlot& http(int index) { return static_cast<FakeHttpSlot&>(*state().HttpSlots[index]); }
    FakeFtpSlot& ftp(int index) { return static_cast<FakeFtpSlot&>(*state().FtpSlots[index]); }
    std::string serving(const TransferSlot& slot) const {
        return slot.Obj() != nullptr ? slot.Obj()->URL : "(idle)";
    }
    // A new object of task at the tail of the queue.
    TDnObj& queue(TTask& task, const std::string& url) {
        TDnObj& object = *NewDnObj(task, url, 2);
        state().Queue.Enqueue(object);
        return object;
    }

    // For the real link intake: a running task of url reaching anywhere, FTP links not followed,
    // with these limits (0: none). The task file written at its creation is forgotten.
    TTask& wideTask(const std::string& name, const std::string& url, int maxLevels = 0,
                    int maxFiles = 0) {
        TTask& created = *create(name, url);
        created.BoundaryPrefix.clear();
        created.MaxLevels = maxLevels;
        created.MaxFiles = maxFiles;
        TaskClearFlag(created, TaskFlag::FollowFTP);
        m_taskFiles.written.clear();
        return created;
    }
    static TDnObj* find(const TTask& owner, const std::string& url) {
        return owner.Objects.TaskFindObj(url);
    }
    // "URL State List Level" of each of the task's objects, in URL order.
    static std::string objects(const TTask& task) {
        static const char* const states[] = {
            "Queued",        "Retrieved",     "Retrieving", "Failed", "Incomplete", "Removed", "",
            "ProtocolError", "RobotsRequest", "Excluded",   "Copied", "FtpError",   "Done"};
        static const char* const lists[] = {"None", "Queue", "Seen", "Wait"};
        std::vector<std::string> described;
        for (const TDnObj& object : task.Objects) {
            described.push_back(object.URL + " " + states[static_cast<int>(object.State)] + " " +
                                lists[static_cast<int>(object.InList)] + " " +
                                std::to_string(object.Level));
        }
        return joined(described);
    }
    static std::string joined(const std::vector<std::string>& texts) {
        std::string all;
        for (const std::string& text : texts) {
            all += (all.empty() ? "" : ", ") + text;
        }
        return all;
    }
    // Saves html as the object's document, the way the HTTP slot leaves a page to be scanned.
    void save(TDnObj& page, const std::string& name, const std::string& html,
              ObjectState saved = ObjectState::Retrieved) {
        if (page.InList == GlobalList::Queue) {
            state().Queue.QueueRemove(page);
        }
        if (page.InList == GlobalList::None) {
            state().SeenList.SeenInsert(page);
        }
        page.LocalName = name;
        page.ContentType = "text/html";
        page.State = saved;
        ASSERT_TRUE(replaceFileAtomically(page.Task->Dir + name, html).ok());
    }
    // Saves the page and has it scanned.
    void scan(TDnObj& page, const std::string& name, const std::string& html) {
        save(page, name, html);
        post(EngineMessage::ScanLinks, identityOf(page));
        pump();
    }
    // The robots request is answered with body; an empty body stands for a failed request.
    void answerRobots(TDnObj& request, const std::string& body) {
        if (request.InList == GlobalList::Queue) {
            state().Queue.QueueRemove(request);
            state().SeenList.SeenInsert(request);
        }
        post(EngineMessage::RobotsAnswer, body.empty() ? 0 : state().RobotsBodies.deposit(body),
             static_cast<std::intptr_t>(identityOf(request)));
        pump();
    }

    TempDirectory m_dir;
    MessageLoop m_loop;
    RecordingView m_view;
    FakeDropSource m_drop;
    FakeDialUp m_dialUp;
    RecordingTaskFiles m_taskFiles;
    RecordingLinkIntake m_intake;
    EngineLinkIntake m_links;
    RecordingRewriteQueue m_rewriter;
    FakeSlotFactory m_slots{m_loop};
    bool m_realIntake = false;
    bool m_realTaskFiles = false;
    std::unique_ptr<Engine> m_engine;
};

}  // namespace quillharbor::test
