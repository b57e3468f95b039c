// Grabs a generated site of 2,000 pages from a private nginx on loopback with the engine as the
// front ends run it (16 HTTP slots, Pause 0, link intake, robots.txt, link rewriting, task
// files). Prints the wall time from the task's creation until the run settled (rewriting
// included) beside the scheduler's ceiling for the site: each slot starts at most one object per
// 200 ms tick, so objects / (16 slots x 5 starts per second); the task-file writes and their
// rate over that time. Then the peak resident memory.
//
// Usage: bench_engine_site_grab [PAGES]   (default 2000)

#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// The integration tests' server starter finds the server scripts below the source tree.
static const std::string benchSourceDir =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
#define QUILLHARBOR_SOURCE_DIR benchSourceDir
#include "../integration/engine/site_grab.h"
#include "../integration/net/server_process.h"

namespace quillharbor {
namespace {

namespace fs = std::filesystem;
constexpr std::uint16_t kSlots = 16;
constexpr double kStartsPerSlotPerSecond = 5;

int run(int pages) {
    char pattern[] = "/tmp/quillharbor-site-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const fs::path work = pattern;
    const std::string root = (work / "www").string();
    fs::create_directories(work / "nginx");
    fs::create_directories(work / "program");
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
    const std::string program = (work / "program").string() + "/";

    int status = 0;
    {
        test::SiteGrab grab(program, program + "downloads/", kSlots);
        const auto begin = std::chrono::steady_clock::now();
        TTask* task = grab.createTask("bench", site + "index.html", site);
        // 20 ms steps: an hour at most.
        const bool settled = task != nullptr && grab.run(180000);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (!settled || task->State != TaskState::Finished) {
            std::fprintf(stderr, "the grab did not finish\n");
            status = 1;
        } else {
            int retrieved = 0;
            for (const TDnObj& object : task->Objects) {
                retrieved += object.State == ObjectState::Done ? 1 : 0;
            }
            const double ceiling = task->Total / (kSlots * kStartsPerSlotPerSecond);
            std::printf(
                "%d pages: %d objects (%d saved), %u HTTP slots, Pause 0: wall %.2f s, "
                "scheduler ceiling %.2f s (objects / (16 x 5/s)), wall/ceiling %.2f\n"
                "task-file writes: %d, %.2f per second\n",
                pages, task->Total, retrieved, kSlots, seconds, ceiling, seconds / ceiling,
                grab.taskFileWrites(), grab.taskFileWrites() / seconds);
        }
        grab.close();
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);
    nginx.stop();
    fs::remove_all(work);
    return status;
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    return quillharbor::run(argc > 1 ? std::atoi(argv[1]) : 2000);
}
