"""What the test servers share: the threaded loopback server a scripted server runs its handler
in, an HTTP request handler to build on, and the start of a real server from a configuration
written for it."""

import os
import socket
import socketserver
import sys
import threading


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


class Server6(Server):
    address_family = socket.AF_INET6


def read_head(sock, data=b""):
    """Reads from sock until an HTTP head has ended (or 64 KiB or the end came): all read."""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = sock.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def head(status, fields=(), version="HTTP/1.0"):
    lines = [f"{version} {status}"] + [f"{name}: {value}" for name, value in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def argument(index):
    """The command line's argument at index, None when it is missing."""
    return sys.argv[index] if len(sys.argv) > index else None


class Handler(socketserver.BaseRequestHandler):
    """Reads one request head and hands it to answer() with its target's path."""

    def handle(self):
        request = read_head(self.request).split(b"\r\n\r\n")[0] + b"\r\n\r\n"
        line = request.split(b"\r\n")[0].split(b" ")
        target = line[1].decode() if len(line) > 1 else "/"
        if "://" in target:
            target = "/" + target.split("://", 1)[1].split("/", 1)[1]
        self.answer(request, target)

    def answer(self, request, target):
        raise NotImplementedError

    @staticmethod
    def ranges(request):
        return [line[len(b"Range: bytes="):].decode() for line in request.split(b"\r\n")
                if line.startswith(b"Range: bytes=")]

    def drain(self):
        """Reads until the client leaves."""
        try:
            while self.request.recv(4096):
                pass
        except OSError:
            pass


def main(handler, ipv6=False):
    """Serves handler on 127.0.0.1:PORT (and [::1]:PORT with ipv6), PORT the first argument."""
    port = int(sys.argv[1])
    if ipv6:
        six = Server6(("::1", port), handler)
        threading.Thread(target=six.serve_forever, daemon=True).start()
    with Server(("127.0.0.1", port), handler) as server:
        server.serve_forever()


def run_configured(workdir, name, text, argv):
    """Writes text to WORKDIR/name and replaces this process by argv, where CONFIG names it."""
    config = os.path.join(workdir, name)
    with open(config, "w") as out:
        out.write(text)
    argv = [config if arg == "CONFIG" else arg for arg in argv]
    os.execvp(argv[0], argv)
