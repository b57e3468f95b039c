// Retrieves a 1 GiB file from a private vsftpd on loopback through the engine (one FTP slot, the
// scheduler on its 200 ms timer, every report handled by the engine), and with curl, in the same
// run (best of 3, interleaved), and prints both rates, their CPU time per GiB and the ratio. The
// engine's time runs from the task's creation to its end, so it includes the wait for the first
// tick.
//
// Usage: bench_engine_ftp [MiB]   (default 1024)

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "clients/network_slot_factory.h"
#include "curl_timing.h"
#include "engine/engine.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"
#include "engine/null_link_intake.h"
#include "engine/null_link_rewrite_queue.h"
#include "engine/null_task_file_writer.h"

// The integration tests' server starter finds the server scripts below the source tree.
static const std::string benchSourceDir =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
#define QUILLHARBOR_SOURCE_DIR benchSourceDir
#include "../integration/net/server_process.h"

namespace quillharbor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bench::Timing engineTiming(const std::string& url, const fs::path& programDir,
                           std::uintmax_t bytes) {
    MessageLoop loop;
    NullEngineView view;
    NullDropSource drop;
    NullDialUp dialUp;
    NullTaskFileWriter taskFiles;
    NullLinkIntake intake;
    NullLinkRewriteQueue rewriter;
    NetworkSlotFactory factory{loop};
    Engine engine(EngineServices{loop, view, drop, dialUp, taskFiles, intake, rewriter, &factory},
                  programDir.string() + "/");
    GlobalOptions& options = engine.globalOptions();
    options.TaskRoot = programDir.string() + "/downloads/";
    options.MaxHTTPConns = 0;
    options.MaxFTPConns = 1;
    options.DefUser = "anonymous";
    engine.ApplySettings();
    engine.PrepareNewTaskParams();
    NewTaskParams& params = engine.newTaskParams();
    params.Name = "bench";
    params.URL = url;
    params.StartAtOnce = true;

    const double cpuBefore = bench::cpuSeconds(RUSAGE_SELF);
    const auto begin = Clock::now();
    TTask* task = engine.CreateTask();
    if (task == nullptr) {
        return {};
    }
    engine.StartScheduler();
    while (task->State != TaskState::Finished) {
        loop.runOnce(std::chrono::milliseconds(100));
    }
    bench::Timing timing;
    timing.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    timing.cpuSeconds = bench::cpuSeconds(RUSAGE_SELF) - cpuBefore;
    const TDnObj& object = *task->Objects.begin();
    if (object.State != ObjectState::Retrieved ||
        object.Received != static_cast<std::int64_t>(bytes)) {
        std::fprintf(stderr, "engine: object ended in state %d with %" PRId64 " bytes\n",
                     static_cast<int>(object.State), object.Received);
        timing.seconds = -1;
    }
    fs::remove(task->Dir + object.LocalName);
    return timing;
}

int run(std::uintmax_t mebibytes) {
    char pattern[] = "/tmp/quillharbor-ftp-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const fs::path work = pattern;
    // vsftpd serves the tree as its unprivileged user.
    fs::permissions(work, fs::perms(0755));
    fs::create_directories(work / "root");
    fs::create_directories(work / "vsftpd");
    fs::create_directories(work / "program");
    fs::permissions(work / "root", fs::perms(0755));
    // Sparse: the source costs nothing to make; both clients write every byte.
    const std::uintmax_t bytes = mebibytes << 20;
    std::ofstream(work / "root/big.bin");
    fs::resize_file(work / "root/big.bin", bytes);
    fs::permissions(work / "root/big.bin", fs::perms(0644));

    const std::uint16_t port = test::freePort();
    test::ServerProcess vsftpd;
    if (!vsftpd.start({"/usr/bin/python3", test::serverScript("ftp_vsftpd.py"),
                       std::to_string(port), (work / "root").string(), (work / "vsftpd").string()},
                      port, (work / "vsftpd.out").string())) {
        std::fprintf(stderr, "vsftpd did not start\n");
        fs::remove_all(work);
        return 1;
    }

    const std::string url = "ftp://127.0.0.1:" + std::to_string(port) + "/big.bin";
    bench::BestOf engine;
    bench::BestOf curl;
    for (int round = 0; round < 3; ++round) {
        curl.add(bench::curlTiming(url, work));
        engine.add(engineTiming(url, work / "program", bytes));
    }
    const std::string what =
        std::to_string(mebibytes) + " MiB from vsftpd on loopback, engine with one FTP slot";
    bench::printComparison(what.c_str(), static_cast<double>(mebibytes), engine, curl);

    vsftpd.stop();
    fs::remove_all(work);
    return engine.best.seconds > 0 && curl.best.seconds > 0 ? 0 : 1;
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    const std::uintmax_t mebibytes = argc > 1 ? std::strtoumax(argv[1], nullptr, 10) : 1024;
    return quillharbor::run(mebibytes);
}
