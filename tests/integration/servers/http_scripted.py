#!/usr/bin/python3
"""A small HTTP server for what nginx will not do, for the integration tests.

Usage: http_scripted.py PORT [HEADS]
Answers by path (that of an absolute URL too, as sent to a proxy), then closes the connection;
each route below says what it does. With HEADS, every request head is appended to that file.
"""
import socket
import struct
import time

from loopback_server import Handler, argument, head, main

DOCUMENT = b"<html><body>" + b"0123456789" * 100 + b"</body></html>\n"
FLAKY = bytes((i * 7 + i // 251) % 256 for i in range(5000))
HTML = [("Content-Type", "text/html")]
SITE = {
    # Two pages that link each other through dot segments.
    "/site/loop/a/p.html": '<a href="./../b/q.html">q</a>',
    "/site/loop/b/q.html": '<a href="../a/p.html">p</a>',
    # A frameset linked with a query, whose frames are its neighbours.
    "/site/api/start.html": '<a href="index.html?com/x/overview.html">frames</a>',
    "/site/api/index.html": '<frameset><frame src="left.html"><frame src="com/x/overview.html"></frameset>',
    "/site/api/left.html": "left",
    "/site/api/com/x/overview.html": "overview",
    # Links whose requests must not carry a fragment or a raw blank.
    "/site/heads/start.html": '<a href="a.html#sec">a</a> <a href="b c.html">b</a> <a href="moved">m</a>',
    "/site/heads/a.html": "a",
    "/site/heads/b%20c.html": "b c",
    "/site/heads/d.html": "d",
}
# Plain answers by path: (status, fields, body).
FIXED = {
    "/target.html": ("200 OK", HTML + [("Content-Length", len(DOCUMENT))], DOCUMENT),
    # The whole document, whatever Range asked for.
    "/range-ignored": ("200 OK", HTML + [("Content-Length", len(DOCUMENT))], DOCUMENT),
    "/site/heads/moved": ("302 Found", [("Location", "d.html#frag")], b""),
}


class Scripted(Handler):
    def answer(self, request, target):
        send, ranges = self.request.sendall, self.ranges(request)
        if argument(2):
            with open(argument(2), "ab") as log:
                log.write(request)
        if target in FIXED:
            status, fields, body = FIXED[target]
            send(head(status, fields) + body)
        elif target == "/drop":  # 1000 of the 100000 bytes announced, then a reset
            send(head("200 OK", [("Content-Length", 100000)]) + b"d" * 1000)
            self.reset()
        elif target == "/big-resume" and ranges and ranges[0].startswith("2500000000-"):
            # 65536 bytes of the 3000000000 from offset 2500000000 of 6000000000
            send(head("206 Partial Content", [("Content-Length", 3000000000),
                                              ("Content-Range", "bytes 2500000000-5499999999/6000000000")]) + b"h" * 65536)
        elif target == "/big-resume":
            send(head("416 Range Not Satisfiable", HTML) + b"<p>no</p>")
        elif target == "/silence":  # a head, then nothing until the client leaves
            send(head("200 OK", [("Content-Type", "text/plain")]))
            self.request.settimeout(30)
            self.drain()
        elif target.startswith("/endless"):  # bounded: 6.5 GB at most, the client leaves long before
            send(head("200 OK", [("Content-Type", "application/octet-stream")]))
            try:
                for _ in range(100000):
                    send(b"e" * 65536)
            except OSError:
                pass
        elif target in ("/flaky", "/cut.html"):
            # With "Range: bytes=N-" the rest from N; without, a binary reset or a page closed
            # cleanly part-way.
            document, kind = (FLAKY, []) if target == "/flaky" else (DOCUMENT, HTML)
            start = int(ranges[0].split("-")[0]) if ranges else 0
            if ranges:
                send(head("206 Partial Content", kind + [
                    ("Content-Length", len(document) - start),
                    ("Content-Range", f"bytes {start}-{len(document) - 1}/{len(document)}")]) + document[start:])
            else:
                send(head("200 OK", kind + [("Content-Length", len(document))])
                     + document[:1000 if target == "/flaky" else len(document) // 2])
                if target == "/flaky":
                    self.reset()
        elif target.split("?")[0] in SITE:
            send(head("200 OK", HTML) + SITE[target.split("?")[0]].encode())
        elif target.startswith("/html/"):
            send(head("200 OK", HTML) + DOCUMENT)
        else:
            send(head("404 Not Found", HTML) + b"<p>not here</p>")

    def reset(self):
        """Resets the connection once what was sent has had the time to arrive."""
        time.sleep(0.3)
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


main(Scripted)
