// Times the scheduler's tick over a queue of 1,000,000 objects whose first 999,000 belong to a
// stopped task: every tick, 16 free HTTP slots each take one of the running task's objects
// from behind them. The slots finish at once, so every timed tick finds all 16 free.
// Then, with the default slot counts, a running task's 900,000 queued HTTP objects and FTP
// slots that stay free with no FTP object queued: the FTP picks must not walk the queue.
// Last, a task of 1,000,000 objects as a grab leaves it, 100,000 retrieved and 900,000 queued:
// the heap it takes per object beyond its strings, ticks with the default slot counts, and the
// times to save its task file and to load it into a new engine, wall and CPU: the wall time of a
// save also waits for the disk to take the file. "large" as the only argument runs this part alone.

#include <malloc.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"
#include "engine/null_link_intake.h"
#include "engine/null_link_rewrite_queue.h"
#include "engine/null_task_file_writer.h"
#include "platform/files.h"
#include "platform/huge_blocks.h"
#include "storage/task_file.h"

namespace {

using namespace quillharbor;

constexpr int kObjects = 1000000;
constexpr int kStoppedObjects = 999000;
constexpr int kTicks = 50;
constexpr int kLargeTask = 1000000;
constexpr int kLargeTaskRetrieved = 100000;

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

// An engine with fake slots over a program directory whose settings file holds `settings`.
class BenchEngine {
public:
    BenchEngine(const std::string& dir, const std::string& settings)
        : m_written(replaceFileAtomically(dir + "Quillharbor.ini", settings).ok()),
          m_engine(EngineServices{m_loop, m_view, m_drop, m_dialUp, m_taskFiles, m_intake,
                                  m_rewriter, &m_slots},
                   dir) {
        if (!m_written) {
            std::printf("cannot write the settings\n");
        }
    }
    Engine& engine() { return m_engine; }

private:
    bool m_written;
    MessageLoop m_loop;
    NullEngineView m_view;
    NullDropSource m_drop;
    NullDialUp m_dialUp;
    NullTaskFileWriter m_taskFiles;
    NullLinkIntake m_intake;
    NullLinkRewriteQueue m_rewriter;
    InstantSlots m_slots;
    Engine m_engine;
};

void timeTicks(Engine& engine, const char* title) {
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

void timeTicks(const std::string& dir, const std::string& settings, int objects, int stopped,
               const char* title) {
    BenchEngine bench(dir, settings);
    fill(bench.engine().state(), objects, stopped);
    timeTicks(bench.engine(), title);
}

// Wall and CPU time of one step, so that a figure taken on a loaded machine still shows the
// program's own cost.
class StepTimer {
public:
    StepTimer() : m_wall(std::chrono::steady_clock::now()), m_cpu(cpuSeconds()) {}
    double wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count();
    }
    double cpu() const { return cpuSeconds() - m_cpu; }

private:
    static double cpuSeconds() {
        timespec now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }

    std::chrono::steady_clock::time_point m_wall;
    double m_cpu;
};

// malloc's bytes in use and the huge blocks that hold large tasks' objects.
std::size_t heapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd + hugeBlockBytesInUse();
}

// The heap a string's characters take: malloc's chunk for capacity + 1 bytes, none while they
// fit inside the string.
std::size_t heapOf(const std::string& text) {
    if (text.capacity() < sizeof(std::string)) {
        return 0;
    }
    return std::max<std::size_t>(32, (text.capacity() + 1 + 8 + 15) & ~std::size_t{15});
}

std::size_t stringHeap(const TTask& task) {
    std::size_t bytes = 0;
    for (const TDnObj& object : task.Objects) {
        bytes += heapOf(object.URL) + heapOf(object.Location) + heapOf(object.Referrer) +
                 heapOf(object.LocalName) + heapOf(object.ContentType);
    }
    return bytes;
}

void reportHeap(const char* what, std::size_t before, const TTask& task) {
    const std::size_t strings = stringHeap(task);
    const double total = static_cast<double>(heapInUse() - before);
    std::printf("  %s: %.0f bytes per object, %.0f of them beyond its strings\n", what,
                total / kLargeTask, (total - static_cast<double>(strings)) / kLargeTask);
}

// The large task as a grab leaves it: pages in 97 sections, each linked from its section's
// index; the first retrieved and in the seen list, the rest queued.
TTask& fillLarge(EngineState& state) {
    TTask& task =
        state.TaskList.TaskInsert(NewTask("large", "http://www.example.com/", "/tmp/large/", 0,
                                          "http://www.example.com/", 0, 0, "", ""));
    for (int i = 0; i < kLargeTask; ++i) {
        const std::string section = "section" + std::to_string(i % 97);
        const std::string page = "/page" + std::to_string(i) + ".html";
        TDnObj& object = *NewDnObj(task, "http://www.example.com/" + section + page, 2);
        object.Referrer = "http://www.example.com/" + section + "/index.html";
        if (i < kLargeTaskRetrieved) {
            object.State = ObjectState::Done;
            SetLocalName(object, section + page);
            object.ContentType = "text/html";
            object.Received = object.Size = 4096;
            --task.Queued;
            state.SeenList.SeenInsert(object);
        } else {
            state.Queue.Enqueue(object);
        }
    }
    return task;
}

void largeTask(const std::string& dir) {
    const std::string settings = "[General]\nPause=0\n";
    std::printf("a task of %d objects, %d retrieved, %d queued, default slot counts\n", kLargeTask,
                kLargeTaskRetrieved, kLargeTask - kLargeTaskRetrieved);
    {
        BenchEngine bench(dir, settings);
        const std::size_t before = heapInUse();
        TTask& task = fillLarge(bench.engine().state());
        reportHeap("built", before, task);
        const StepTimer timer;
        const Status saved = WriteTaskFile(task, dir);
        std::printf("  save: %.2f s (CPU %.2f s), %.1f MB%s\n", timer.wall(), timer.cpu(),
                    static_cast<double>(fileSize(taskFilePath(dir, task.Name)).valueOr(0)) / 1e6,
                    saved ? "" : " (failed)");
        timeTicks(bench.engine(), "  ticks");
    }
    BenchEngine bench(dir, settings);
    const std::size_t before = heapInUse();
    const StepTimer timer;
    bench.engine().LoadAllTasks();
    const double wall = timer.wall();
    const double cpu = timer.cpu();
    TTask* task = bench.engine().state().TaskList.TaskFind("large");
    if (task == nullptr || task->Total != kLargeTask) {
        std::printf("  the task did not load\n");
        return;
    }
    std::printf("  load: %.2f s (CPU %.2f s)\n", wall, cpu);
    reportHeap("loaded", before, *task);
}

}  // namespace

int main(int argc, char** argv) {
    const bool largeOnly = argc == 2 && std::string_view(argv[1]) == "large";
    char pattern[] = "/tmp/quillharbor-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = std::string(pattern) + "/";
    if (!largeOnly) {
        timeTicks(dir, "[General]\nMaxHTTPConns=16\nMaxFTPConns=0\nPause=0\n", kObjects,
                  kStoppedObjects,
                  "tick, 16 free HTTP slots, 1000 queued behind 999000 of a stopped task");
        timeTicks(dir, "[General]\nPause=0\n", 900000, 0,
                  "tick, default slot counts, 900000 HTTP objects queued, FTP slots free, no FTP "
                  "object");
    }
    largeTask(dir);
    std::filesystem::remove_all(dir);
    return 0;
}
