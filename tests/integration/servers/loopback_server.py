"""What the test servers share: the threaded loopback server a scripted server runs its handler
in, and the start of a real server from a configuration written for it."""

import os
import socket
import socketserver
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


def serve(handler, port, ipv6=False):
    """Serves handler on 127.0.0.1:port (and on [::1]:port with ipv6) until stopped."""
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
