"""The threaded loopback server the scripted test servers run their handler in."""

import socketserver


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def read_head(sock, data=b""):
    """Reads from sock until an HTTP head has ended (or 64 KiB or the end came): all read."""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = sock.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def serve(handler, port):
    """Serves handler on 127.0.0.1:port until the process is stopped."""
    with Server(("127.0.0.1", port), handler) as server:
        server.serve_forever()
