#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/server_process.h"
#include "platform/temp_directory.h"

namespace quillharbor::test {

// dir, made with its parents when missing.
inline std::string made(const std::string& dir) {
    std::filesystem::create_directories(dir);
    return dir;
}

// The servers of one test program, each started when first asked for by its name and stopped
// with the program, over one working directory that every server's user may read.
class LoopbackServers {
public:
    static LoopbackServers& instance() {
        static LoopbackServers servers;
        return servers;
    }
    LoopbackServers() { std::filesystem::permissions(work.path(), std::filesystem::perms(0755)); }

    // Runs argv once, "PORT" in it standing for a free port; the port, 0 when it did not start.
    std::uint16_t start(const std::string& name, std::vector<std::string> argv, bool ipv6 = false) {
        auto& [process, port] = m_started[name];
        if (!process) {
            process = std::make_unique<ServerProcess>();
            const std::uint16_t chosen = freePort();
            for (std::string& arg : argv) arg = arg == "PORT" ? std::to_string(chosen) : arg;
            port = process->start(argv, chosen, work / (name + ".out"), ipv6) ? chosen : 0;
        }
        return port;
    }
    // A server script of servers/, its port first.
    static std::vector<std::string> script(const std::string& name,
                                           const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv{"/usr/bin/python3", serverScript(name), "PORT"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    TempDirectory work;

private:
    std::map<std::string, std::pair<std::unique_ptr<ServerProcess>, std::uint16_t>> m_started;
};

// The HTTP servers of the tests on one tree (root), each started when first asked for: nginx,
// tinyproxy in front of anything, and the scripted server for what nginx will not do.
struct HttpServers {
    static constexpr const char* ProxyUser = "quill";
    static constexpr const char* ProxyPassword = "harbor-s3cret";

    LoopbackServers& loopback = LoopbackServers::instance();
    TempDirectory& work = loopback.work;
    std::string root = made(work / "www");
    std::string document;  // /index.html: 5000 bytes
    std::uint16_t nginxPort = 0;
    std::uint16_t proxyPort = 0;
    std::uint16_t scriptedPort = 0;

    static HttpServers& instance() {
        static HttpServers servers;
        return servers;
    }
    HttpServers() {
        for (int i = 0; i < 500; ++i) document += "line " + std::to_string(1000 + i) + "\n";
        std::ofstream(root + "/index.html") << document;
    }

    bool startNginx() {
        nginxPort = loopback.start(
            "nginx", LoopbackServers::script("http_nginx.py", {made(work / "nginx"), root}));
        return nginxPort != 0;
    }
    bool startProxy() {
        const std::string dir = made(work / "tinyproxy");
        std::filesystem::permissions(dir, std::filesystem::perms::all);
        proxyPort = loopback.start(
            "tinyproxy", LoopbackServers::script("proxy_servers.py",
                                                 {"tinyproxy", dir, ProxyUser, ProxyPassword}));
        return proxyPort != 0;
    }
    bool startScripted() {
        scriptedPort = loopback.start(
            "scripted", LoopbackServers::script("http_scripted.py", {scriptedHeadsPath()}));
        return scriptedPort != 0;
    }
    // microsocks without a login.
    std::uint16_t startMicrosocks() {
        return loopback.start("microsocks",
                              {"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", "PORT"});
    }
    // Every request head the scripted server has received, in order.
    std::string scriptedHeads() const { return contentsOf(scriptedHeadsPath()); }
    std::string scriptedHeadsPath() const { return work / "scripted-heads.log"; }
    std::string accessLog(const std::string& nginx = "nginx") const {
        return contentsOf(work / (nginx + "/access.log"));
    }
    static std::string at(std::uint16_t port, const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
};

// nginx over TLS on HttpServers' tree, with certificates made here and an authority the process
// trusts through SSL_CERT_FILE. Each certificate kind ("good", "wronghost", "expired",
// "stranger") has an nginx of its own, which also serves plain HTTP, where /secure/NAME
// redirects to https://127.0.0.1:TLSPORT/NAME.
struct TlsServers {
    HttpServers& http = HttpServers::instance();
    std::string certificates = made(http.work / "certificates");
    std::map<std::string, std::uint16_t> httpPorts;

    static TlsServers& instance() {
        static TlsServers tls;
        return tls;
    }
    TlsServers() {
        const std::string command =
            "/usr/bin/python3 " + serverScript("tls_certificates.py") + " " + certificates;
        if (std::system(command.c_str()) != 0) {
            certificates.clear();
        }
        ::setenv("SSL_CERT_FILE", (certificates + "/ca.pem").c_str(), 1);
    }

    // The TLS port of kind's nginx, 0 when it could not be started; its plain port in httpPort.
    std::uint16_t start(const std::string& kind, std::uint16_t* httpPort = nullptr) {
        const std::string name = "nginx-" + kind, cert = certificates + "/" + kind;
        const std::uint16_t plain = httpPorts.try_emplace(name, freePort()).first->second;
        std::vector<std::string> argv = LoopbackServers::script(
            "http_nginx.py",
            {made(http.work / name), http.root, "--tls", "PORT", cert + ".pem", cert + ".key"});
        argv[2] = std::to_string(plain);
        if (httpPort != nullptr)
            *httpPort = plain;
        return certificates.empty() ? 0 : http.loopback.start(name, argv);
    }
    static std::string https(std::uint16_t port, const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(port) + path;
    }
};

}  // namespace quillharbor::test
