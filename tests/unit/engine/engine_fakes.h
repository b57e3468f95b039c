#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/dial_up.h"
#include "engine/drop_source.h"
#include "engine/link_intake.h"
#include "engine/link_rewrite_queue.h"
#include "engine/null_engine_view.h"
#include "engine/task_file_writer.h"
#include "model/engine_message.h"
#include "model/message_identity.h"
#include "model/transfer_slot_factory.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/thread_cpu_clock.h"

namespace quillharbor::test {

// Records what the engine asked of the screen, as "Call name". Reading the records it is handed
// makes AddressSanitizer catch a record used after it was freed.
class RecordingView : public NullEngineView {
public:
    std::vector<TTask*> SelectedTasks() override { return selection; }
    std::vector<TDnObj*> SelectedObjects(ObjectListPage page) override {
        return objectSelection[page];
    }
    void AddTaskRow(TTask& task) override { log("AddTaskRow", task.Name); }
    void SelectTaskRow(TTask& task) override { log("SelectTaskRow", task.Name); }
    void DeleteTaskRow(TTask& task) override { log("DeleteTaskRow", task.Name); }
    void ClearCurrentTask() override { calls.push_back("ClearCurrentTask"); }
    void AddObjectRow(TDnObj& object) override { log("AddObjectRow", object.URL); }
    void RefreshObjectRow(TDnObj& object) override { log("RefreshObjectRow", object.URL); }
    void FillObjectLists() override { calls.push_back("FillObjectLists"); }
    void UpdateCommands() override { calls.push_back("UpdateCommands"); }
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }
    void SetStatusText(int pane, const std::string& text) override { status[pane] = text; }
    void OpenNewTask(const std::string& url) override { log("OpenNewTask", url); }
    void OpenEditTask(TTask& task) override { log("OpenEditTask", task.Name); }

    std::vector<TTask*> selection;
    std::map<ObjectListPage, std::vector<TDnObj*>> objectSelection;
    std::vector<std::string> calls;
    std::vector<std::string> notifications;
    std::map<int, std::string> status;

private:
    void log(const char* call, const std::string& name) { calls.push_back(call + (" " + name)); }
};

class FakeDropSource : public DropSource {
public:
    void CreateDropWindow(Handle) override {}
    void DestroyDropWindow() override {}
    void ShowDropWindow() override {
        visible = true;
        calls.push_back("Show");
    }
    void HideDropWindow() override {
        visible = false;
        calls.push_back("Hide");
    }
    bool IsDropWindowVisible() override { return visible; }
    void SetClipCheck(bool watch) override { calls.push_back(watch ? "Clip 1" : "Clip 0"); }
    void SetPasteMIState(bool on) override { calls.push_back(on ? "PasteMI 1" : "PasteMI 0"); }
    void SetDialogMIStates(bool on) override { calls.push_back(on ? "DialogMI 1" : "DialogMI 0"); }
    std::optional<std::string> GetDropURL() override { return url; }
    std::string_view GetDropData() override { return content; }
    void ReleaseDropData() override {
        ++releases;
        content = "(released)";
    }

    bool visible = false;
    std::vector<std::string> calls;  // the window and menu-state calls, in order
    std::optional<std::string> url;
    std::string content;
    int releases = 0;
};

class RecordingTaskFiles : public TaskFileWriter {
public:
    Status WriteTaskFile(const TTask& task, const std::string& path) override {
        written.push_back(path);
        // A large task's write, as far as the CPU time it takes.
        for (const auto begun = ThreadCpuClock::now(); ThreadCpuClock::now() - begun < cpuCost;) {
        }
        return failWith ? Status(*failWith) : replaceFileAtomically(path, task.Name);
    }
    // Which tasks are running is the storage layer's rule, tested there.
    std::vector<Error> SaveRunningTasks(const TaskList&, const std::string& dir) override {
        written.push_back(dir + "(running tasks)");
        return {};
    }

    std::vector<std::string> written;
    std::optional<Error> failWith;
    std::chrono::milliseconds cpuCost{0};
};

class RecordingLinkIntake : public LinkIntake {
public:
    void ScanLinks(EngineContext&, TDnObj& object) override { scanned.push_back(object.URL); }
    void RescanLinks(EngineContext&, TDnObj&) override {}
    void RobotsAnswer(EngineContext&, TDnObj&, std::string_view) override {}

    std::vector<std::string> scanned;
};

class RecordingRewriteQueue : public LinkRewriteQueue {
public:
    void QueueTaskForParsing(TTask& task) override { queued.push_back(task.Name); }
    void forgetTask(const TTask& task) override { forgotten.push_back(task.Name); }

    std::vector<std::string> queued;
    std::vector<std::string> forgotten;
};

// An HTTP slot whose abort completes later, from the loop, the way the real one does: the
// completion marks the object it still holds and reports it (FtpRestartComplete stands in for
// any result message the engine turns into a row refresh). Tests end a transfer with complete().
class FakeHttpSlot : public HttpSlot, public MessageTarget {
public:
    FakeHttpSlot(MessageLoop& loop, Handle engine, std::vector<std::string>& log)
        : m_loop(loop), m_engine(engine), m_log(log), m_self(loop.add(*this)) {}
    ~FakeHttpSlot() override { m_loop.remove(m_self); }
    void Start(TDnObj& object) override {
        m_object = &object;
        IdleTicks = BusyTicks = 0;
        if (object.State != ObjectState::RobotsRequest) {
            object.State = ObjectState::Retrieving;
        }
    }
    bool ready() const override { return m_object == nullptr; }
    TDnObj* Obj() const override { return m_object; }
    void Finish() override { m_object = nullptr; }
    void abort() override {
        m_log.push_back("abort http");
        m_loop.post(m_self, WM_USER);
    }
    void abandon() override {
        m_log.push_back("abandon http");
        m_object = nullptr;
    }
    void setProxy(const HttpProxySettings&) override {}
    std::string_view keptHost() const override { return m_object ? std::string_view() : kept; }
    void onMessage(const Message&) override {
        if (m_object != nullptr) {
            m_object->State = ObjectState::Removed;
            m_loop.post(m_engine, messageNumber(EngineMessage::FtpRestartComplete),
                        identityOf(*m_object));
            Finish();
        }
    }
    // A block of data arrived.
    void receive() { BusyTicks = 0; }
    // The request ended with the object in state; the slot is idle again.
    void complete(ObjectState state, std::string localName = "") {
        m_object->State = state;
        m_object->LocalName = std::move(localName);
        Finish();
    }

    std::string kept;  // the host of the connection kept between transfers

private:
    MessageLoop& m_loop;
    Handle m_engine;
    std::vector<std::string>& m_log;
    Handle m_self;
    TDnObj* m_object = nullptr;
};

// An FTP slot whose abort completes inside the call. Its component is busy from Start until
// the test calls answer(); the slot still holds the object until Finish.
class FakeFtpSlot : public FtpSlot {
public:
    explicit FakeFtpSlot(std::vector<std::string>& log) : m_log(log) {}
    void Start(TDnObj& object) override {
        m_object = &object;
        m_busy = true;
        object.State = ObjectState::Retrieving;
    }
    bool ready() const override { return !m_busy; }
    TDnObj* Obj() const override { return m_object; }
    void Finish() override { m_object = nullptr; }
    void abort() override {
        m_log.push_back("abort ftp");
        m_busy = false;
        if (m_object != nullptr) {
            m_object->State = ObjectState::FtpError;
            Finish();
        }
    }
    void abandon() override {
        m_log.push_back("abandon ftp");
        m_busy = false;
        m_object = nullptr;
    }
    void configure(const FtpSlotSettings&) override {}
    std::int32_t InUse() const override { return m_object != nullptr; }
    // The component's request ended; the object stays held.
    void answer() { m_busy = false; }

private:
    std::vector<std::string>& m_log;
    TDnObj* m_object = nullptr;
    bool m_busy = false;
};

// A line that only counts its hang-ups.
class FakeDialUp : public DialUp {
public:
    bool NetworkingPresent() override { return false; }
    bool LoadModule() override { return false; }
    bool IsRASInstalled() override { return false; }
    bool IsRASConnected() override { return false; }
    void Hangup() override { ++hangups; }

    int hangups = 0;
};

class FakeSlotFactory : public TransferSlotFactory {
public:
    explicit FakeSlotFactory(MessageLoop& loop) : m_loop(loop) {}
    std::unique_ptr<HttpSlot> createHttpSlot(int, const SlotContext& context) override {
        return std::make_unique<FakeHttpSlot>(m_loop, context.MainWindow, log);
    }
    std::unique_ptr<FtpSlot> createFtpSlot(int, const SlotContext&) override {
        return std::make_unique<FakeFtpSlot>(log);
    }

    std::vector<std::string> log;

private:
    MessageLoop& m_loop;
};

}  // namespace quillharbor::test
