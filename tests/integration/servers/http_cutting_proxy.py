#!/usr/bin/python3
"""A reverse proxy that cuts chosen responses short, for the integration tests.

Usage: http_cutting_proxy.py PORT UPSTREAM_PORT [PATH...]
Hands every request to 127.0.0.1:UPSTREAM_PORT unchanged. The first answer for each PATH that
asks for no range passes with half of its body (by its Content-Length), then the connection
closes cleanly. Every later answer passes whole.
"""
import socket
import sys
import threading

from loopback_server import Handler, main, read_head

UPSTREAM = ("127.0.0.1", int(sys.argv[2]))
TO_CUT = set(sys.argv[3:])
LOCK = threading.Lock()


class Cutting(Handler):
    def answer(self, request, target):
        with LOCK:
            cut = target in TO_CUT and not self.ranges(request)
            TO_CUT.discard(target if cut else None)
        with socket.create_connection(UPSTREAM) as upstream:
            upstream.sendall(request)
            head, _, body = read_head(upstream).partition(b"\r\n\r\n")
            lengths = [int(line.split(b":")[1]) for line in head.split(b"\r\n")
                       if line.lower().startswith(b"content-length:")]
            limit = lengths[0] // 2 if cut and lengths else None
            self.request.sendall(head + b"\r\n\r\n")
            sent = 0
            while limit is None or sent < limit:
                piece = body if limit is None else body[:limit - sent]
                self.request.sendall(piece)
                sent += len(piece)
                body = upstream.recv(65536)
                if not body:
                    break


main(Cutting)
