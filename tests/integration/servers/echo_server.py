#!/usr/bin/python3
"""Echo server for the integration tests: echoes every byte back on each connection.

Usage: echo_server.py PORT  (listens on 127.0.0.1 only)
"""
import socketserver
import sys


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while True:
            data = self.request.recv(65536)
            if not data:
                return
            self.request.sendall(data)


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


if __name__ == "__main__":
    with Server(("127.0.0.1", int(sys.argv[1])), Echo) as server:
        server.serve_forever()
