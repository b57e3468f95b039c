// Times the engine's lists at the size of a large site: 200,000 objects in one task, then the
// same objects in the seen list and the queue. Prints one line per step.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/download_queue.h"
#include "model/seen_list.h"
#include "model/task.h"

namespace {

using quillharbor::TDnObj;

constexpr int kObjects = 200000;

class Stopwatch {
public:
    void report(const char* step) {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - m_start).count();
        std::printf("%-44s %9.1f ms\n", step, ms);
        m_start = std::chrono::steady_clock::now();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

std::vector<std::string> siteUrls(bool shuffled) {
    std::vector<std::string> urls;
    urls.reserve(kObjects);
    for (int i = 0; i < kObjects; ++i) {
        urls.push_back("http://www.example.com/section" + std::to_string(i % 97) + "/page" +
                       std::to_string(i) + ".html");
    }
    std::sort(urls.begin(), urls.end());
    if (shuffled) {
        std::shuffle(urls.begin(), urls.end(), std::mt19937(42));
    }
    return urls;
}

void run(bool shuffled) {
    std::printf("%s URLs\n", shuffled ? "shuffled" : "ascending");
    const std::vector<std::string> urls = siteUrls(shuffled);
    auto task = quillharbor::NewTask("bench", urls.front(), "/tmp/bench/", 0, "", 0, 0, "", "");
    quillharbor::SeenList seen;
    quillharbor::DownloadQueue queue;
    std::vector<TDnObj*> objects;
    objects.reserve(kObjects);
    std::size_t found = 0;

    Stopwatch watch;
    for (const std::string& url : urls) {
        objects.push_back(quillharbor::NewDnObj(*task, url, 2));
    }
    watch.report("  NewDnObj into one task");
    for (const std::string& url : urls) {
        found += task->Objects.TaskFindObj(url) != nullptr;
    }
    watch.report("  TaskFindObj of every URL");
    for (const std::string& url : urls) {
        found += quillharbor::NewDnObj(*task, url, 3) == nullptr;
    }
    watch.report("  NewDnObj refusing every URL again");
    for (TDnObj* object : objects) {
        queue.Enqueue(*object);
    }
    watch.report("  Enqueue");
    for (auto at = objects.rbegin(); at != objects.rend(); at += 2) {
        queue.QueueRemove(**at);
    }
    while (queue.QueuePop() != nullptr) {
    }
    watch.report("  QueueRemove of every other, QueuePop rest");
    for (TDnObj* object : objects) {
        seen.SeenInsert(*object);
    }
    watch.report("  SeenInsert");
    for (const std::string& url : urls) {
        found += seen.SeenFind(url) != nullptr;
    }
    watch.report("  SeenFind of every URL");
    for (TDnObj* object : objects) {
        seen.SeenRemove(*object);
    }
    watch.report("  SeenRemove of every object");
    if (found != 3 * urls.size()) {
        std::printf("  lists lost objects: %zu found\n", found);
    }
}

}  // namespace

int main() {
    run(true);
    run(false);
    return 0;
}
