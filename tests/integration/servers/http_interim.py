#!/usr/bin/python3
"""A small site whose answers come after interim (1xx) answers, for the kept-connection tests.

Usage: http_interim.py PORT LOG
Serves requests one after another on a connection while they are HTTP/1.1; an HTTP/1.0 request
gets "Connection: close". /index.html comes after "100 Continue" and "103 Early Hints" and links
/moved (a 301 with a body) and /second.html (after "102 Processing", chunked over HTTP/1.1).
Each request appends "CONNECTION PATH" to LOG, CONNECTION counting the connections from 1.
"""
import itertools
import socketserver
import threading

from loopback_server import argument, head, main, read_head

LOG = argument(2)
connections = itertools.count(1)
lock = threading.Lock()
PAGES = {
    "/index.html": (b"HTTP/1.1 100 Continue\r\n\r\n"
                    b"HTTP/1.1 103 Early Hints\r\nLink: </target.html>; rel=preload\r\n\r\n",
                    "200 OK", b'<a href="/moved">moved</a> <a href="/second.html">second</a>', []),
    "/moved": (b"", "301 Moved Permanently", b"<p>moved to /target.html</p>", [("Location", "/target.html")]),
    "/target.html": (b"", "200 OK", b"<p>the target</p>", []),
    "/second.html": (b"HTTP/1.1 102 Processing\r\n\r\n", "200 OK", b"<p>the second page</p>", []),
}


def answer(target, version):
    interim, status, body, fields = PAGES.get(target, (b"", "404 Not Found", b"<p>not here</p>", []))
    fields = [("Content-Type", "text/html")] + fields
    if version != "HTTP/1.1":
        fields.append(("Connection", "close"))
    if version == "HTTP/1.1" and target == "/second.html":
        fields.append(("Transfer-Encoding", "chunked"))
        body = b"%x\r\n%s\r\n0\r\n\r\n" % (len(body), body)
    else:
        fields.append(("Content-Length", str(len(body))))
    return interim + head(status, fields, version) + body


class Interim(socketserver.BaseRequestHandler):
    def handle(self):
        connection, data, version = next(connections), b"", "HTTP/1.1"
        while version == "HTTP/1.1":
            data = read_head(self.request, data)
            request, _, data = data.partition(b"\r\n\r\n")
            line = request.split(b"\r\n")[0].decode().split(" ")
            if len(line) < 3:
                return
            target, version = line[1], line[2]
            with lock, open(LOG, "a") as out:
                out.write(f"{connection} {target}\n")
            self.request.sendall(answer(target, version))


main(Interim)
