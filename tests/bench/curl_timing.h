#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillharbor::bench {

// Wall and CPU seconds of one run; seconds is -1 when the run failed.
struct Timing {
    double seconds = -1;
    double cpuSeconds = 0;
};

// The CPU time of this process (RUSAGE_SELF) or its waited-for children split into user and
// system time, with the times it slept waiting: where the time of a paced grab goes.
struct CpuUse {
    double user = 0;
    double system = 0;
    long sleeps = 0;

    static CpuUse now(int who) {
        rusage usage{};
        ::getrusage(who, &usage);
        const auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_nvcsw};
    }
    CpuUse since(const CpuUse& before) const {
        return {user - before.user, system - before.system, sleeps - before.sleeps};
    }
    void print() const {
        std::printf("  user %.2f s, system %.2f s, %ld sleeps\n", user, system, sleeps);
    }
};

// User plus system CPU seconds of this process (RUSAGE_SELF) or its waited-for children.
inline double cpuSeconds(int who) {
    const CpuUse use = CpuUse::now(who);
    return use.user + use.system;
}

// curl fetching url into a scratch file in dir (removed afterwards): the yardstick the download
// benchmarks print beside their own figure.
inline Timing curlTiming(const std::string& url, const std::filesystem::path& dir) {
    const std::string out = (dir / "curl.bin").string();
    const std::string command = "curl -s -S -f -o '" + out + "' '" + url + "'";
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    const auto begin = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    Timing timing;
    timing.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    timing.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    std::filesystem::remove(out);
    if (status != 0)
        timing.seconds = -1;
    return timing;
}

// Best of interleaved rounds: the fastest run of each side and its CPU seconds, and the least
// CPU seconds any run took (another program's burst on a shared machine only ever adds).
struct BestOf {
    Timing best;
    double leastCpuSeconds = -1;
    void add(const Timing& timing) {
        if (timing.seconds > 0 && (best.seconds < 0 || timing.seconds < best.seconds))
            best = timing;
        if (timing.seconds > 0 && (leastCpuSeconds < 0 || timing.cpuSeconds < leastCpuSeconds))
            leastCpuSeconds = timing.cpuSeconds;
    }
};

// One line: rates and CPU per GiB of both sides, and the ratio of their rates.
inline void printComparison(const char* what, double mebibytes, const BestOf& ours,
                            const BestOf& curl) {
    const double megabytes = mebibytes * 1.048576;
    const double gib = mebibytes / 1024;
    const auto rate = [&](const Timing& t) { return t.seconds > 0 ? megabytes / t.seconds : 0.0; };
    std::printf(
        "%s, best of the rounds: curl %.1f MB/s (CPU %.2f s/GiB), ours %.1f MB/s "
        "(CPU %.2f s/GiB), ours/curl %.2f\n",
        what, rate(curl.best), curl.best.cpuSeconds / gib, rate(ours.best),
        ours.best.cpuSeconds / gib, rate(curl.best) > 0 ? rate(ours.best) / rate(curl.best) : 0.0);
}

}  // namespace quillharbor::bench
