// Grabs a generated site of 2,000 pages from a private nginx on loopback with the engine as the
// front ends run it (16 HTTP slots, Pause 0, link intake, robots.txt, link rewriting, task
// files). Prints the wall time from the task's creation until the run settled (rewriting
// included) beside the scheduler's ceiling for the site: each slot starts at most one object per
// 200 ms tick, so objects / (16 slots x 5 starts per second); the task-file writes and their
// rate over that time, and the CPU time. The same grab then runs with fast dispatch, then with
// fast dispatch and kept connections (with the connections nginx saw), and wget -r -l inf -np
// fetches the site in the same run, then again with -k, which rewrites links as the grab does;
// wall and CPU times of all five are printed, the CPU split into user and system time beside
// the times each slept. The five run in interleaved rounds; the ratios compare the fastest wall
// times and the least CPU times of each. Then the peak resident memory.
//
// Usage: [TMPDIR=/dev/shm] bench_engine_site_grab [PAGES [ROUNDS]]   (default 2000 3)

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

// The integration tests' server starter finds the server scripts below the source tree.
static const std::string benchSourceDir =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
#define QUILLHARBOR_SOURCE_DIR benchSourceDir
#include "../integration/engine/site_grab.h"
#include "../integration/net/server_process.h"
#include "curl_timing.h"

namespace quillharbor {
namespace {

namespace fs = std::filesystem;
constexpr std::uint16_t kSlots = 16;
constexpr double kStartsPerSlotPerSecond = 5;

// One grab of the site into a fresh program directory; seconds -1 when it did not finish.
bench::Timing grabSite(const std::string& site, const fs::path& program, int pages, bool fast,
                       bool keepAlive = false) {
    fs::create_directories(program);
    const std::string dir = program.string() + "/";
    bench::Timing timing;
    test::SiteGrab grab(dir, dir + "downloads/", kSlots);
    grab.engine().globalOptions().FastDispatch = fast;
    if (keepAlive) {
        grab.engine().globalOptions().KeepAlive = true;
        grab.engine().ApplySettings();
    }
    const double cpuBefore = bench::cpuSeconds(RUSAGE_SELF);
    const bench::CpuUse useBefore = bench::CpuUse::now(RUSAGE_SELF);
    const auto begin = std::chrono::steady_clock::now();
    TTask* task = grab.createTask("bench", site + "index.html", site);
    // 20 ms steps: an hour at most.
    const bool settled = task != nullptr && grab.run(180000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    timing.cpuSeconds = bench::cpuSeconds(RUSAGE_SELF) - cpuBefore;
    if (!settled || task->State != TaskState::Finished) {
        std::fprintf(stderr, "the grab did not finish\n");
    } else {
        timing.seconds = seconds;
        int retrieved = 0;
        for (const TDnObj& object : task->Objects) {
            retrieved += object.State == ObjectState::Done ? 1 : 0;
        }
        const double ceiling = task->Total / (kSlots * kStartsPerSlotPerSecond);
        std::printf(
            "%s, %d pages: %d objects (%d saved), %u HTTP slots, Pause 0: wall %.2f s, CPU %.2f s, "
            "scheduler ceiling %.2f s (objects / (16 x 5/s)), wall/ceiling %.2f\n"
            "  task-file writes: %d, %.2f per second\n",
            keepAlive ? "fast dispatch, kept connections"
            : fast    ? "fast dispatch"
                      : "tick dispatch",
            pages, task->Total, retrieved, kSlots, seconds, timing.cpuSeconds, ceiling,
            seconds / ceiling, grab.taskFileWrites(), grab.taskFileWrites() / seconds);
        bench::CpuUse::now(RUSAGE_SELF).since(useBefore).print();
    }
    grab.close();
    return timing;
}

// The connections nginx's log names from byte `from` on (its lines end with the connection's
// serial number and its request count).
std::size_t connectionsSince(const fs::path& log, std::size_t from) {
    std::ifstream in(log);
    in.seekg(static_cast<std::streamoff>(from));
    std::set<std::string> connections;
    for (std::string line; std::getline(in, line);) {
        const std::size_t last = line.rfind(' ');
        const std::size_t before = line.rfind(' ', last - 1);
        connections.insert(line.substr(before + 1, last - before - 1));
    }
    return connections.size();
}

// convertLinks (-k) makes wget rewrite the saved pages' links as the grab does. Prints its times.
bench::Timing wgetSite(const std::string& site, const fs::path& dir, bool convertLinks) {
    // Every level, as the grab takes (wget stops at 5 levels by default).
    const std::string command = std::string("wget -q -r -l inf -np ") +
                                (convertLinks ? "-k " : "") + "-P '" + dir.string() + "' '" + site +
                                "index.html'";
    const double cpuBefore = bench::cpuSeconds(RUSAGE_CHILDREN);
    const bench::CpuUse useBefore = bench::CpuUse::now(RUSAGE_CHILDREN);
    const auto begin = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const bench::CpuUse use = bench::CpuUse::now(RUSAGE_CHILDREN).since(useBefore);
    bench::Timing timing;
    timing.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    timing.cpuSeconds = bench::cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    // 8: some response was an error, as the site's deliberately broken links are.
    if (status == -1 || !WIFEXITED(status) ||
        (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 8)) {
        timing.seconds = -1;
    }
    std::printf("wget -r -l inf -np%s: wall %.2f s, CPU %.2f s\n", convertLinks ? " -k" : "",
                timing.seconds, timing.cpuSeconds);
    use.print();
    return timing;
}

int run(int pages, int rounds) {
    // TMPDIR=/dev/shm measures the programs without the disk's file system, whose cost of making
    // a file grows for minutes after many files were deleted (as the previous run did).
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary != nullptr ? temporary : "/tmp") + "/quillharbor-site-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const fs::path work = pattern;
    const std::string root = (work / "www").string();
    fs::create_directories(work / "nginx");
    const std::string generate = "/usr/bin/python3 '" + test::serverScript("site_generator.py") +
                                 "' '" + root + "' " + std::to_string(pages);
    const std::uint16_t port = test::freePort();
    test::ServerProcess nginx;
    if (std::system(generate.c_str()) != 0 ||
        !nginx.start({"/usr/bin/python3", test::serverScript("http_nginx.py"), std::to_string(port),
                      (work / "nginx").string(), root},
                     port, (work / "nginx.out").string())) {
        std::fprintf(stderr, "the site or nginx did not start\n");
        fs::remove_all(work);
        return 1;
    }
    const std::string site = "http://127.0.0.1:" + std::to_string(port) + "/site/";

    bench::BestOf tick, fast, kept, wget, wgetK;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d of %d\n", round, rounds);
        const std::string suffix = "-" + std::to_string(round);
        tick.add(grabSite(site, work / ("program-tick" + suffix), pages, false));
        fast.add(grabSite(site, work / ("program-fast" + suffix), pages, true));
        const fs::path log = work / "nginx" / "access.log";
        const std::size_t logBefore = fs::file_size(log);
        kept.add(grabSite(site, work / ("program-kept" + suffix), pages, true, true));
        std::printf("  connections: %zu for %u slots\n", connectionsSince(log, logBefore), kSlots);
        wget.add(wgetSite(site, work / ("wget" + suffix), false));
        wgetK.add(wgetSite(site, work / ("wget-k" + suffix), true));
    }
    std::printf(
        "best of %d rounds: tick dispatch CPU/wget CPU %.2f (wget -k: %.2f); fast dispatch "
        "wall/wget wall %.2f\n",
        rounds, tick.leastCpuSeconds / wget.leastCpuSeconds,
        tick.leastCpuSeconds / wgetK.leastCpuSeconds, fast.best.seconds / wget.best.seconds);
    std::printf("fast dispatch with kept connections: wall/wget wall %.2f, CPU/wget CPU %.2f\n",
                kept.best.seconds / wget.best.seconds, kept.leastCpuSeconds / wget.leastCpuSeconds);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);
    nginx.stop();
    fs::remove_all(work);
    return tick.best.seconds > 0 && fast.best.seconds > 0 && kept.best.seconds > 0 ? 0 : 1;
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    return quillharbor::run(argc > 1 ? std::atoi(argv[1]) : 2000,
                            argc > 2 ? std::atoi(argv[2]) : 3);
}
