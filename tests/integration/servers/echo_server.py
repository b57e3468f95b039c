#!/usr/bin/python3
"""Echo server for the integration tests: echoes every byte back on each connection.

Usage: echo_server.py PORT  (listens on 127.0.0.1 and on ::1 only)
"""
import socket
import socketserver
import sys
import threading


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


class Server6(Server):
    address_family = socket.AF_INET6


if __name__ == "__main__":
    port = int(sys.argv[1])
    six = Server6(("::1", port), Echo)
    threading.Thread(target=six.serve_forever, daemon=True).start()
    with Server(("127.0.0.1", port), Echo) as server:
        server.serve_forever()
