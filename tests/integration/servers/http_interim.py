#!/usr/bin/python3
"""A small site whose answers come after interim (1xx) answers, for the kept-connection tests.

Usage: http_interim.py PORT LOG
Listens on 127.0.0.1 and serves requests one after another on each connection while the request
is HTTP/1.1; an HTTP/1.0 request gets "Connection: close" and the connection closes.
  /index.html    after "100 Continue" and "103 Early Hints": links /moved and /second.html
  /moved         301 to /target.html with a short body of known length
  /target.html   a page
  /second.html   after "102 Processing": a chunked page (for HTTP/1.1)
  anything else  404 with a short body
Each request appends "CONNECTION PATH" to LOG, CONNECTION counting the connections from 1.
"""
import itertools
import socketserver
import sys
import threading

from loopback_server import read_head, serve

PORT = int(sys.argv[1])
LOG = sys.argv[2]
connections = itertools.count(1)
lock = threading.Lock()

CONTINUE = b"HTTP/1.1 100 Continue\r\n\r\n"
HINTS = b"HTTP/1.1 103 Early Hints\r\nLink: </target.html>; rel=preload\r\n\r\n"
PROCESSING = b"HTTP/1.1 102 Processing\r\n\r\n"
PAGES = {
    "/index.html": (CONTINUE + HINTS, "200 OK",
                    b'<a href="/moved">moved</a> <a href="/second.html">second</a>', []),
    "/moved": (b"", "301 Moved Permanently", b"<p>moved to /target.html</p>",
               [("Location", "/target.html")]),
    "/target.html": (b"", "200 OK", b"<p>the target</p>", []),
    "/second.html": (PROCESSING, "200 OK", b"<p>the second page</p>", []),
}


def answer(target, version):
    interim, status, body, fields = PAGES.get(
        target, (b"", "404 Not Found", b"<p>not here</p>", []))
    fields = [("Content-Type", "text/html")] + fields
    if version == b"HTTP/1.0":
        fields.append(("Connection", "close"))
    if version == b"HTTP/1.1" and target == "/second.html":
        fields.append(("Transfer-Encoding", "chunked"))
        body = b"%x\r\n%s\r\n0\r\n\r\n" % (len(body), body)
    else:
        fields.append(("Content-Length", str(len(body))))
    head = [f"{version.decode()} {status}"] + [f"{name}: {value}" for name, value in fields]
    return interim + ("\r\n".join(head) + "\r\n\r\n").encode() + body


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        connection = next(connections)
        data = b""
        while True:
            data = read_head(self.request, data)
            if b"\r\n\r\n" not in data:
                return
            head, data = data.split(b"\r\n\r\n", 1)
            line = head.split(b"\r\n")[0].split(b" ")
            if len(line) < 3:
                return
            target, version = line[1].decode(), line[2]
            with lock, open(LOG, "a") as out:
                out.write(f"{connection} {target}\n")
            self.request.sendall(answer(target, version))
            if version != b"HTTP/1.1":
                return


serve(Handler, PORT)
