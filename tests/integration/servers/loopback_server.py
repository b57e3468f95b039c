"""The threaded loopback server the scripted test servers run their handler in."""

import socketserver


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def serve(handler, port):
    """Serves handler on 127.0.0.1:port until the process is stopped."""
    with Server(("127.0.0.1", port), handler) as server:
        server.serve_forever()
