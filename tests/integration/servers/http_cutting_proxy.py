#!/usr/bin/python3
"""A reverse proxy that cuts chosen responses short, for the integration tests.

Usage: http_cutting_proxy.py PORT UPSTREAM_PORT [PATH...]
Listens on 127.0.0.1:PORT and hands every request to 127.0.0.1:UPSTREAM_PORT unchanged. The
first answer for each PATH that asks for no range is cut: its header and half of its body (by
its Content-Length) pass, then the connection closes cleanly. Every later answer passes whole.
"""
import socket
import socketserver
import sys
import threading

from loopback_server import read_head, serve

PORT = int(sys.argv[1])
UPSTREAM = ("127.0.0.1", int(sys.argv[2]))
TO_CUT = set(sys.argv[3:])
LOCK = threading.Lock()


def content_length(head):
    for line in head.split(b"\r\n"):
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            return int(value.strip())
    return None


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        request = read_head(self.request)
        lines = request.split(b"\r\n")
        path = lines[0].split(b" ")[1].decode() if lines[0].count(b" ") >= 2 else ""
        ranged = any(line.lower().startswith(b"range:") for line in lines)
        with LOCK:
            cut = path in TO_CUT and not ranged
            TO_CUT.discard(path if cut else None)
        with socket.create_connection(UPSTREAM) as upstream:
            upstream.sendall(request)
            answer = read_head(upstream)
            head, _, body = answer.partition(b"\r\n\r\n")
            length = content_length(head)
            limit = length // 2 if cut and length else None
            self.request.sendall(head + b"\r\n\r\n")
            sent = 0
            while True:
                if limit is not None:
                    body = body[:limit - sent]
                self.request.sendall(body)
                sent += len(body)
                if limit is not None and sent >= limit:
                    break
                body = upstream.recv(65536)
                if not body:
                    break


if __name__ == "__main__":
    serve(Handler, PORT)
