#!/usr/bin/python3
"""Echoes every byte back on each connection, on 127.0.0.1:PORT and [::1]:PORT."""
import socketserver

from loopback_server import main


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while data := self.request.recv(65536):
            self.request.sendall(data)


main(Echo, ipv6=True)
