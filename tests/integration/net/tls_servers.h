#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/http_servers.h"

namespace quillharbor::test {

// nginx over TLS on loopback, with certificates the fixture makes and an authority that the
// process trusts through SSL_CERT_FILE in place of the system's. Each certificate kind is served
// by an nginx of its own, started when first asked for; "good" also serves plain HTTP, where
// /secure/NAME redirects to https://127.0.0.1:TLSPORT/NAME. The tree is HttpServers' (its
// /index.html holds HttpServers::document).
struct TlsServers {
    struct Server {
        ServerProcess process;
        std::uint16_t httpPort = 0;
        std::uint16_t tlsPort = 0;
    };

    HttpServers& http = HttpServers::instance();
    std::string certificates;
    std::string root;
    std::map<std::string, std::unique_ptr<Server>> servers;

    static TlsServers& instance() {
        static TlsServers tls;
        return tls;
    }

    TlsServers() {
        http.startNginx();
        root = http.work.path() + "/www";
        certificates = http.work.make("certificates");
        const std::string command =
            "/usr/bin/python3 " + serverScript("tls_certificates.py") + " " + certificates;
        if (std::system(command.c_str()) != 0) {
            certificates.clear();
        }
        ::setenv("SSL_CERT_FILE", (certificates + "/ca.pem").c_str(), 1);
    }

    // The TLS port of the nginx serving kind ("good", "wronghost", "expired", "stranger"), 0
    // when it could not be started; the plain port in httpPort when asked for. With
    // defaultPorts ("127.0.0.2") the "good" certificate is served on that address's ports 80 and
    // 443 too, which only root may open.
    std::uint16_t start(const std::string& kind, std::uint16_t* httpPort = nullptr,
                        const std::string& defaultPorts = {}) {
        std::unique_ptr<Server>& server = servers[kind + defaultPorts];
        if (!server && !certificates.empty()) {
            auto made = std::make_unique<Server>();
            made->httpPort = freePort();
            made->tlsPort = freePort();
            const std::string cert = certificates + "/" + kind;
            const std::string name = "nginx-" + kind + defaultPorts;
            std::vector<std::string> argv{"/usr/bin/python3",
                                          serverScript("http_nginx.py"),
                                          std::to_string(made->httpPort),
                                          http.work.make(name),
                                          root,
                                          "--tls",
                                          std::to_string(made->tlsPort),
                                          cert + ".pem",
                                          cert + ".key"};
            if (!defaultPorts.empty()) {
                argv.insert(argv.end(), {"--default-ports", defaultPorts});
            }
            if (made->process.start(argv, made->tlsPort, http.work.path() + "/" + name + ".out")) {
                server = std::move(made);
            }
        }
        if (!server) {
            return 0;
        }
        if (httpPort != nullptr) {
            *httpPort = server->httpPort;
        }
        return server->tlsPort;
    }

    static std::string https(std::uint16_t port, const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(port) + path;
    }
};

}  // namespace quillharbor::test
