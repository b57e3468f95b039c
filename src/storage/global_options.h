#pragma once

#include <cstdint>
#include <string>

namespace quillharbor {

// The program-wide settings, section "General" of the configuration file. The fields carry their
// INI key names; the initialisers are the built-in defaults, except TaskRoot, whose default
// depends on the program directory (SetDefaultSettings fills it).
struct GlobalOptions {
    bool NameAuto = true;
    std::string TaskRoot;
    bool SaveSeparate = true;
    bool AlwaysRetrieve = false;
    bool ForceFTPRetrieve = false;
    bool BreakConnection = false;
    std::uint16_t MaxHTTPConns = 10;
    std::uint16_t Pause = 500;  // milliseconds; the scheduler rests Pause / 200 ticks
    bool ObeyRobotExclusion = true;
    std::uint16_t HTTPTimeout = 5;  // minutes
    bool UseHTTPProxy = false;
    std::string HTTPProxyName;
    std::string HTTPProxyPort;
    std::string HTTPProxyUser;
    std::string HTTPProxyPassword;
    std::uint16_t MaxFTPConns = 5;
    std::string DefUser = "anonymous";
    std::string DefPassword = "user@void";
    std::uint16_t FTPTimeout = 5;  // minutes
    bool UseFTPProxy = false;
    std::string FTPProxyName;
    std::uint16_t Notify = 2;  // bits: 1 started, 2 finished, 4 connection broken, 8 idle,
                               // 16 protocol error, 32 network error
    bool ShowDropWindow = true;
    bool PasteLinksFromClipboard = false;
    std::string DropWindowPosition;  // "x,y" on the screen; empty: the window's first-run place
    bool RetryOnFails = true;
    bool UseRasCtrl = false;
    bool HTTPS = true;  // https:// URLs are fetched; off, they are links of another scheme
    bool VerifyCertificates = true;  // an https server's certificate must pass verification
    // A free slot takes its next object at once rather than at the next tick, and its Pause is
    // timed per slot; off unless asked for (a file without the key reads as off).
    bool FastDispatch = false;
    // At most this many slots serve one host (scheme, host and port) at once; 0, the default
    // (also of a file without the key), sets no cap.
    std::uint16_t MaxConnsPerHost = 0;
    // HTTP/1.1 requests with keep-alive: a slot's connection serves its next object of the same
    // server; off unless asked for (a file without the key reads as off).
    bool KeepAlive = false;

    // Whether HTTPProxyPassword is written to the file; it has no key of its own.
    bool SavePassword = false;

    bool operator==(const GlobalOptions&) const = default;
};

}  // namespace quillharbor
