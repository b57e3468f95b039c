#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "net/http_cli.h"
#include "net/server_process.h"
#include "net/wsocket.h"

namespace quillharbor::test {

// A private working directory for one test program's servers, removed afterwards.
class TempDirectory {
public:
    TempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qh-http-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }
    std::string make(const std::string& name) const {
        const std::string dir = m_path + "/" + name;
        std::filesystem::create_directories(dir);
        return dir;
    }

private:
    std::string m_path;
};

// The servers of the HTTP tests, each started when first asked for and stopped with the program.
struct HttpServers {
    static constexpr const char* ProxyUser = "quill";
    static constexpr const char* ProxyPassword = "harbor-s3cret";

    TempDirectory work;
    std::string document;  // /index.html and /big.bin of nginx's tree
    std::uint16_t nginxPort = 0;
    std::uint16_t proxyPort = 0;
    std::uint16_t scriptedPort = 0;
    ServerProcess nginx;
    ServerProcess proxy;
    ServerProcess scripted;

    static HttpServers& instance() {
        static HttpServers servers;
        return servers;
    }

    bool startNginx() {
        if (nginxPort != 0) {
            return true;
        }
        const std::string root = work.make("www");
        for (int i = 0; i < 500; ++i) {
            document += "line " + std::to_string(1000 + i) + "\n";  // 5000 bytes
        }
        std::ofstream(root + "/index.html") << document;
        const std::uint16_t port = freePort();
        if (!nginx.start({"/usr/bin/python3", serverScript("http_nginx.py"), std::to_string(port),
                          work.make("nginx"), root},
                         port, work.path() + "/nginx.out")) {
            return false;
        }
        nginxPort = port;
        return true;
    }
    bool startProxy() {
        if (proxyPort != 0) {
            return true;
        }
        const std::string dir = work.make("tinyproxy");
        std::filesystem::permissions(dir, std::filesystem::perms::all);
        const std::uint16_t port = freePort();
        if (!proxy.start({"/usr/bin/python3", serverScript("http_tinyproxy.py"),
                          std::to_string(port), dir, ProxyUser, ProxyPassword},
                         port, work.path() + "/tinyproxy.out")) {
            return false;
        }
        proxyPort = port;
        return true;
    }
    bool startScripted() {
        if (scriptedPort != 0) {
            return true;
        }
        const std::uint16_t port = freePort();
        if (!scripted.start({"/usr/bin/python3", serverScript("http_scripted.py"),
                             std::to_string(port), scriptedHeadsPath()},
                            port, work.path() + "/scripted.out")) {
            return false;
        }
        scriptedPort = port;
        return true;
    }
    // Every request head the scripted server has received, in order.
    std::string scriptedHeads() const {
        std::ifstream file(scriptedHeadsPath());
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    std::string scriptedHeadsPath() const { return work.path() + "/scripted-heads.log"; }
};

// One client on a real loop, with everything it reports written down.
class HttpIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        cli = std::make_unique<THttpCli>(loop);
        cli->OnHeaderEnd = [this](THttpCli&) { ++headerEnds; };
        cli->OnDocData = [this](THttpCli&, const char* data, std::size_t length) {
            if (keepBody) {
                body.append(data, length);
            }
            if (onData) {
                onData();
            }
        };
        cli->OnDocEnd = [this](THttpCli&) { ++docEnds; };
        cli->OnLocationChange = [this](THttpCli& c) {
            locations.push_back(c.Location());
            if (onLocation) {
                onLocation();
            }
        };
        cli->OnRequestDone = [this](THttpCli&, THttpRequest, int error) {
            doneErrors.push_back(error);
        };
    }
    void TearDown() override {
        cli.reset();
        loop.processPending();
        EXPECT_EQ(loop.targetCount(), 0u);
        EXPECT_EQ(loop.watchedSocketCount(), 0u);
    }

    // Fetches url and runs the loop until OnRequestDone (at most about 20 seconds).
    bool fetch(const std::string& url) {
        cli->setURL(url);
        cli->GetASync();
        return runUntil([this] { return !doneErrors.empty(); });
    }
    bool runUntil(const std::function<bool()>& done, int rounds = 400) {
        for (int i = 0; i < rounds && !done(); ++i) {
            loop.runOnce(std::chrono::milliseconds(50));
        }
        return done();
    }
    static std::string at(std::uint16_t port, const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    HttpServers& servers = HttpServers::instance();
    MessageLoop loop;
    std::unique_ptr<THttpCli> cli;
    bool keepBody = true;
    std::string body;
    int headerEnds = 0;
    int docEnds = 0;
    std::vector<std::string> locations;
    std::vector<int> doneErrors;
    std::function<void()> onData;
    std::function<void()> onLocation;
};

}  // namespace quillharbor::test
