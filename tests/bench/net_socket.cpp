// Moves 1 GiB over loopback between two sockets of the socket layer driven by one loop, then the
// same bytes through a plain blocking send/recv pair, and prints both rates and their ratio.
//
//   bench_net_socket [MiB]      (1024 by default)

#include "net/wsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace quillharbor;
using Clock = std::chrono::steady_clock;

constexpr int Piece = 64 * 1024;

double megabytesPerSecond(long long bytes, Clock::duration elapsed)
{
    return static_cast<double>(bytes) / 1e6 / std::chrono::duration<double>(elapsed).count();
}

double throughLayer(long long total)
{
    MessageLoop loop;
    TWSocket server(loop);
    TWSocket receiver(loop);
    TWSocket sender(loop);
    server.setAddr("127.0.0.1");
    server.setPort("0");
    server.OnSessionAvailable = [&](TWSocket& s, int) { receiver.Dup(s.Accept()); };
    server.Listen();

    const std::string piece(Piece, 'b');
    long long queued = 0;
    long long received = 0;
    std::vector<char> buffer(Piece);
    const auto sendMore = [&](TWSocket& s) {
        if (queued < total) {
            queued += Piece;
            s.Send(piece.data(), Piece);
        }
    };
    sender.OnSessionConnected = [&](TWSocket& s, int) { sendMore(s); };
    sender.OnDataSent = [&](TWSocket& s, int) { sendMore(s); };
    receiver.OnDataAvailable = [&](TWSocket& s, int) {
        const int got = s.Receive(buffer.data(), Piece);
        if (got > 0)
            received += got;
    };
    sender.setAddr("127.0.0.1");
    sender.setPort(server.GetXPort());

    const Clock::time_point start = Clock::now();
    sender.Connect();
    while (received < total)
        loop.runOnce(std::chrono::milliseconds(100));
    const Clock::duration elapsed = Clock::now() - start;
    return megabytesPerSecond(total, elapsed);
}

double blockingPair(long long total)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    const Clock::time_point start = Clock::now();
    std::thread sending([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        const std::string piece(Piece, 'b');
        for (long long sent = 0; sent < total;) {
            const ssize_t n = ::send(fd, piece.data(), piece.size(), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
    const int fd = ::accept(listener, nullptr, nullptr);
    std::vector<char> buffer(Piece);
    long long received = 0;
    while (received < total) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        received += n;
    }
    const Clock::duration elapsed = Clock::now() - start;
    sending.join();
    ::close(fd);
    ::close(listener);
    return megabytesPerSecond(received, elapsed);
}

}  // namespace

int main(int argc, char** argv)
{
    const long long mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
    const long long total = mebibytes * 1024 * 1024;
    const double layer = throughLayer(total);
    const double plain = blockingPair(total);
    std::printf("bytes moved:              %lld (%lld MiB)\n", total, mebibytes);
    std::printf("socket layer, one loop:   %8.1f MB/s\n", layer);
    std::printf("blocking send/recv pair:  %8.1f MB/s\n", plain);
    std::printf("ratio (layer / blocking): %8.3f\n", layer / plain);
    return 0;
}
