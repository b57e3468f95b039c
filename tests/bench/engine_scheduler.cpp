// Times the scheduler's tick over a queue of 1,000,000 objects whose first 999,000 belong to a
// stopped task: every tick, 16 free HTTP slots each take one of the running task's objects
// from behind them. The slots finish at once, so every timed tick finds all 16 free.
// Then, with the default slot counts, a running task's 900,000 queued HTTP objects and FTP
// slots that stay free with no FTP object queued: the FTP picks must not walk the queue.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"
#include "engine/null_link_intake.h"
#include "engine/null_link_rewrite_queue.h"
#include "engine/null_task_file_writer.h"
#include "platform/files.h"

namespace {

using namespace quillharbor;

constexpr int kObjects = 1000000;
constexpr int kStoppedObjects = 999000;
constexpr int kTicks = 50;

// Retrieves every object the moment it is started.
class InstantSlot final : public HttpSlot {
public:
    void Start(TDnObj& object) override {
        object.State = ObjectState::Done;
        ++started;
    }
    bool ready() const override { return true; }
    TDnObj* Obj() const override { return nullptr; }
    void Finish() override {}
    void abort() override {}
    void abandon() override {}
    void setProxy(const HttpProxySettings&) override {}

    static inline long started = 0;
};

class IdleFtpSlot final : public FtpSlot {
public:
    void Start(TDnObj&) override {}
    bool ready() const override { return true; }
    TDnObj* Obj() const override { return nullptr; }
    void Finish() override {}
    void abort() override {}
    void abandon() override {}
    void configure(const FtpSlotSettings&) override {}
    std::int32_t InUse() const override { return 0; }
};

class InstantSlots final : public TransferSlotFactory {
public:
    std::unique_ptr<HttpSlot> createHttpSlot(int, const SlotContext&) override {
        return std::make_unique<InstantSlot>();
    }
    std::unique_ptr<FtpSlot> createFtpSlot(int, const SlotContext&) override {
        return std::make_unique<IdleFtpSlot>();
    }
};

void fill(EngineState& state, int objects, int stoppedObjects) {
    TTask& stopped =
        state.TaskList.TaskInsert(NewTask("stopped", "http://s/", "/tmp/s/", 0, "", 0, 0, "", ""));
    TTask& running =
        state.TaskList.TaskInsert(NewTask("running", "http://r/", "/tmp/r/", 0, "", 0, 0, "", ""));
    stopped.State = TaskState::Stopped;
    for (int i = 0; i < objects; ++i) {
        TTask& task = i < stoppedObjects ? stopped : running;
        TDnObj* object = NewDnObj(task,
                                  "http://www.example.com/section" + std::to_string(i % 97) +
                                      "/page" + std::to_string(i) + ".html",
                                  2);
        state.Queue.Enqueue(*object);
    }
}

// Runs ticks of an engine whose settings file holds `settings`, and prints their times.
void timeTicks(const std::string& dir, const std::string& settings, int objects, int stopped,
               const char* title) {
    if (!replaceFileAtomically(dir + "Quillharbor.ini", settings).ok()) {
        std::printf("cannot write the settings\n");
        return;
    }
    MessageLoop loop;
    NullEngineView view;
    NullDropSource drop;
    NullDialUp dialUp;
    NullTaskFileWriter taskFiles;
    NullLinkIntake intake;
    NullLinkRewriteQueue rewriter;
    InstantSlots slots;
    Engine engine(EngineServices{loop, view, drop, dialUp, taskFiles, intake, rewriter, &slots},
                  dir);
    fill(engine.state(), objects, stopped);
    InstantSlot::started = 0;
    std::vector<double> ticks;
    for (int i = 0; i < kTicks; ++i) {
        const auto start = std::chrono::steady_clock::now();
        engine.Timer1Timer();
        ticks.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ticks.begin(), ticks.end());
    std::printf("%s\n", title);
    std::printf("  %ld objects started in %d ticks\n", InstantSlot::started, kTicks);
    std::printf("  per tick: median %.3f ms, fastest %.3f ms, slowest %.3f ms\n",
                ticks[ticks.size() / 2], ticks.front(), ticks.back());
}

}  // namespace

int main() {
    char pattern[] = "/tmp/quillharbor-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = std::string(pattern) + "/";
    timeTicks(dir, "[General]\nMaxHTTPConns=16\nMaxFTPConns=0\nPause=0\n", kObjects,
              kStoppedObjects,
              "tick, 16 free HTTP slots, 1000 queued behind 999000 of a stopped task");
    timeTicks(dir, "[General]\nPause=0\n", 900000, 0,
              "tick, default slot counts, 900000 HTTP objects queued, FTP slots free, no FTP "
              "object");
    std::filesystem::remove_all(dir);
    return 0;
}
