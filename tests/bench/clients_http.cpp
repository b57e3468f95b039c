// Downloads a 1 GiB file from a private nginx on loopback with one HTTP slot, driven as the
// scheduler drives it, and with curl, in the same run (best of 3, interleaved), and prints both
// rates, their CPU time per GiB and the ratio of the rates.
// Every message the slot posts is resolved to its object the way the engine resolves it.
// Given a byte rate, the slot's task keeps to it instead (no curl): the run prints how long the
// file took against the time the rate gives (2 MiB at 200k: 10.24 s). Given "https" instead,
// both fetch the file over TLS, verifying nginx's certificate against an authority made for the
// run.
//
// Usage: bench_clients_http [MiB] [bytes per second | https]   (default 1024, no rate, http)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "clients/hl_http_client.h"
#include "curl_timing.h"
#include "model/message_identity.h"

extern char** environ;

namespace quillharbor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kServers = fs::path(__FILE__).parent_path().parent_path() / "integration/servers";

std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// The engine's part in a transfer: every report is resolved to its live object.
class ResolvingTarget : public MessageTarget {
public:
    explicit ResolvingTarget(const TaskList& tasks) : m_tasks(tasks) {}
    void onMessage(const Message& message) override {
        if (objectByIdentity(m_tasks, message.wParam) != nullptr) {
            ++resolved;
        }
    }
    long resolved = 0;

private:
    const TaskList& m_tasks;
};

bench::Timing slotTiming(const std::string& url, const std::string& dir, std::int64_t rate = 0) {
    MessageLoop loop;
    EngineState state;
    state.Https = true;
    state.VerifyCertificates = true;
    TTask& task = state.TaskList.TaskInsert(NewTask("bench", url, dir, 0, "", 1, 0, "", ""));
    task.Grab.RateLimit = rate;
    ResolvingTarget target(state.TaskList);
    const Handle handle = loop.add(target);
    bench::Timing timing;
    {
        THLHTTPClient slot(loop, 0, SlotContext{"Mozilla/3.0(compatible)", handle, &state});
        TDnObj& object = *NewDnObj(task, url, 1);
        state.SeenList.SeenInsert(object);
        const double cpuBefore = bench::cpuSeconds(RUSAGE_SELF);
        const auto begin = Clock::now();
        slot.Start(object);
        while (!slot.ready()) {
            loop.runOnce(std::chrono::milliseconds(100));
        }
        timing.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        timing.cpuSeconds = bench::cpuSeconds(RUSAGE_SELF) - cpuBefore;
        if (object.State != ObjectState::Done) {
            std::fprintf(stderr, "slot: object ended in state %d, status %d\n",
                         static_cast<int>(object.State), object.Status);
            timing.seconds = -1;
        }
        fs::remove(dir + object.LocalName);
    }
    loop.remove(handle);
    return timing;
}

int run(std::uintmax_t mebibytes, std::int64_t rate, bool https) {
    char pattern[] = "/tmp/quillharbor-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const fs::path work = pattern;
    fs::create_directories(work / "www");
    fs::create_directories(work / "nginx");
    fs::create_directories(work / "task");
    // Sparse: the source costs nothing to make; both clients write every byte.
    std::ofstream(work / "www/big.bin");
    fs::resize_file(work / "www/big.bin", mebibytes << 20);

    const std::uint16_t port = freePort();
    const std::uint16_t tlsPort = freePort();
    const std::string script = (kServers / "http_nginx.py").string();
    const std::string portText = std::to_string(port);
    const std::string tlsPortText = std::to_string(tlsPort);
    const std::string nginxDir = (work / "nginx").string();
    const std::string root = (work / "www").string();
    const std::string certificates = (work / "certificates").string();
    const std::string cert = certificates + "/good.pem";
    const std::string key = certificates + "/good.key";
    std::vector<const char*> argv = {"python3", script.c_str(), portText.c_str(), nginxDir.c_str(),
                                     root.c_str()};
    if (https) {
        const std::string make =
            "python3 '" + (kServers / "tls_certificates.py").string() + "' '" + certificates + "'";
        if (std::system(make.c_str()) != 0) {
            return 1;
        }
        // The slot takes the authority from OpenSSL's variable, curl from its own.
        ::setenv("SSL_CERT_FILE", (certificates + "/ca.pem").c_str(), 1);
        ::setenv("CURL_CA_BUNDLE", (certificates + "/ca.pem").c_str(), 1);
        argv.insert(argv.end(), {"--tls", tlsPortText.c_str(), cert.c_str(), key.c_str()});
    }
    argv.push_back(nullptr);
    pid_t nginx = -1;
    if (::posix_spawnp(&nginx, "python3", nullptr, nullptr, const_cast<char**>(argv.data()),
                       environ)) {
        return 1;
    }
    const std::uint16_t servedPort = https ? tlsPort : port;
    for (int attempt = 0; attempt < 200 && !accepts(servedPort); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    const std::string url =
        (https ? "https://127.0.0.1:" + tlsPortText : "http://127.0.0.1:" + portText) + "/big.bin";
    const std::string dir = (work / "task").string() + "/";
    if (rate > 0) {
        const double seconds = slotTiming(url, dir, rate).seconds;
        const double ideal = static_cast<double>(mebibytes << 20) / static_cast<double>(rate);
        std::printf("%ju MiB at %" PRId64 " bytes/s: %.2f s, the rate gives %.2f s (%.1f%%)\n",
                    mebibytes, rate, seconds, ideal, 100.0 * seconds / ideal);
        ::kill(nginx, SIGTERM);
        ::waitpid(nginx, nullptr, 0);
        fs::remove_all(work);
        return seconds > 0 ? 0 : 1;
    }
    bench::BestOf slot;
    bench::BestOf curl;
    for (int round = 0; round < 3; ++round) {
        curl.add(bench::curlTiming(url, dir));
        slot.add(slotTiming(url, dir));
    }
    const std::string what = std::to_string(mebibytes) + " MiB from nginx on loopback over " +
                             (https ? "https" : "http") + ", one HTTP slot";
    bench::printComparison(what.c_str(), static_cast<double>(mebibytes), slot, curl);

    ::kill(nginx, SIGTERM);
    ::waitpid(nginx, nullptr, 0);
    fs::remove_all(work);
    return slot.best.seconds > 0 && curl.best.seconds > 0 ? 0 : 1;
}

}  // namespace
}  // namespace quillharbor

int main(int argc, char** argv) {
    const std::uintmax_t mebibytes = argc > 1 ? std::strtoumax(argv[1], nullptr, 10) : 1024;
    const bool https = argc > 2 && std::string_view(argv[2]) == "https";
    const std::int64_t rate = argc > 2 && !https ? std::strtoll(argv[2], nullptr, 10) : 0;
    return quillharbor::run(mebibytes, rate, https);
}
