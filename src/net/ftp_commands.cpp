#include "net/ftp_commands.h"

#include "net/socket_error.h"

namespace quillharbor {

std::string portCommand(std::uint32_t address, std::uint16_t port) {
    return "PORT " + std::to_string((address >> 24) & 0xFF) + "," +
           std::to_string((address >> 16) & 0xFF) + "," + std::to_string((address >> 8) & 0xFF) +
           "," + std::to_string(address & 0xFF) + "," + std::to_string(port >> 8) + "," +
           std::to_string(port & 0xFF);
}

std::string extendedPortCommand(const std::string& ipv6Address, std::uint16_t port) {
    return "EPRT |2|" + ipv6Address + "|" + std::to_string(port) + "|";
}

std::string restartCommand(std::int64_t offset) {
    return "REST " + std::to_string(offset);
}

std::string controlFailureReply(int socketError) {
    return "500 " + socketErrorDesc(socketError) + " (Winsock error #" +
           std::to_string(socketError) + ")";
}

std::string transferStatistics(std::int64_t bytes, std::int64_t milliseconds) {
    std::string text = "! " + std::to_string(bytes) + " bytes received/sent in " +
                       std::to_string(milliseconds / 1000) + " seconds";
    if (milliseconds != 0) {
        // The rate is rounded the way users of the program have always seen it.
        const std::int64_t rate =
            bytes < 32768 ? bytes * 1000 / milliseconds : bytes / milliseconds * 1000;
        text += " (" + std::to_string(rate) + " Bytes/sec)";
    }
    return text;
}

}  // namespace quillharbor
