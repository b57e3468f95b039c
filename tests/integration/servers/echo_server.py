#!/usr/bin/python3
"""Echo server for the integration tests: echoes every byte back on each connection.

Usage: echo_server.py PORT  (listens on 127.0.0.1 and on ::1 only)
"""
import socketserver
import sys

from loopback_server import serve


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while data := self.request.recv(65536):
            self.request.sendall(data)


if __name__ == "__main__":
    serve(Echo, int(sys.argv[1]), ipv6=True)
