#!/usr/bin/python3
"""A small HTTP server for what nginx will not do, for the integration tests.

Usage: http_scripted.py PORT [HEADS]
Listens on 127.0.0.1 and answers by path; a request line with an absolute URL (as sent to a
proxy) is answered by the path of that URL. Every answer ends by closing the connection. With
HEADS, every request head is appended to that file before it is answered.
  /echo            200 text/plain, the request head as the body
  /cross           302 to http://localhost:PORT/target.html
  /relative        301 to sub/../target.html
  /target.html     200 text/html
  /https           302 to https://127.0.0.1:PORT/target.html
  /loop            302 to /loop, for ever
  /noheader        no status line and no header: "<HTML>" and the document
  /longheader      a header line of 9000 bytes
  /drop            announces 100000 bytes, sends 1000 and resets the connection
  /range-ignored   200 and the whole document, whatever Range asked for
  /huge            206, 3000000000 bytes from offset 2500000000 of 6000000000; sends 65536
  /silence         a header, then nothing until the client leaves
  /endless...      a body without end until the client leaves
  /flaky           a 5000-byte document: without Range 1000 bytes of it and a reset connection,
                   with "Range: bytes=N-" a 206 with the rest from N
  /cut.html        as /flaky with the HTML document, cut by a clean close at half its body
  /big-resume      as /huge when Range asks from 2500000000 on, 416 otherwise
  /html/...        200 text/html, any path and query under /html/
  /site/...        the small pages of SITE, the query ignored; /site/heads/moved is a 302 to a
                   location with a fragment
"""
import socket
import socketserver
import struct
import sys
import time

from loopback_server import read_head, serve

PORT = int(sys.argv[1])
DOCUMENT = b"<html><body>" + b"0123456789" * 100 + b"</body></html>\n"
FLAKY = bytes((i * 7 + i // 251) % 256 for i in range(5000))
HEADS = sys.argv[2] if len(sys.argv) > 2 else None
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


def head(status, fields=()):
    lines = [f"HTTP/1.0 {status}"] + [f"{name}: {value}" for name, value in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


class Handler(socketserver.BaseRequestHandler):
    def read_head(self):
        data = read_head(self.request)
        return data.split(b"\r\n\r\n")[0] + b"\r\n\r\n"

    def handle(self):
        request = self.read_head()
        if HEADS:
            with open(HEADS, "ab") as log:
                log.write(request)
        target = request.split(b"\r\n")[0].split(b" ")[1].decode() if b" " in request else "/"
        if "://" in target:
            target = "/" + target.split("://", 1)[1].split("/", 1)[1]
        send = self.request.sendall
        ranges = [line[len(b"Range: bytes="):].decode() for line in request.split(b"\r\n")
                  if line.startswith(b"Range: bytes=")]
        if target == "/echo":
            send(head("200 OK", [("Content-Type", "text/plain")]) + request)
        elif target == "/cross":
            send(head("302 Found", [("Location", f"http://localhost:{PORT}/target.html")]) + b"moved")
        elif target == "/relative":
            send(head("301 Moved Permanently", [("Location", "sub/../target.html")]))
        elif target == "/target.html":
            send(head("200 OK", [("Content-Type", "text/html"), ("Content-Length", len(DOCUMENT))]) + DOCUMENT)
        elif target == "/https":
            send(head("302 Found", [("Location", f"https://127.0.0.1:{PORT}/target.html")]))
        elif target == "/loop":
            send(head("302 Found", [("Location", "/loop")]))
        elif target == "/noheader":
            send(b"<HTML>\r\n<body>no header</body>\r\n</HTML>\r\n")
        elif target == "/longheader":
            send(head("200 OK", [("X-Long", "x" * 9000)]) + b"body")
        elif target == "/drop":
            send(head("200 OK", [("Content-Length", 100000)]) + b"d" * 1000)
            self.reset()
        elif target == "/range-ignored":
            send(head("200 OK", [("Content-Type", "text/html"), ("Content-Length", len(DOCUMENT))]) + DOCUMENT)
        elif target == "/huge" or (target == "/big-resume" and ranges and ranges[0].startswith("2500000000-")):
            send(head("206 Partial Content", [
                ("Content-Length", 3000000000),
                ("Content-Range", "bytes 2500000000-5499999999/6000000000"),
                ("X-Asked", f"Range: bytes={ranges[0]}" if ranges else "none")]) + b"h" * 65536)
        elif target == "/silence":
            send(head("200 OK", [("Content-Type", "text/plain")]))
            self.wait_for_close()
        elif target.startswith("/endless"):
            send(head("200 OK", [("Content-Type", "application/octet-stream")]))
            try:
                for _ in range(100000):  # bounded: 6.5 GB at most, the client leaves long before
                    send(b"e" * 65536)
            except OSError:
                pass
        elif target in ("/flaky", "/cut.html"):
            document, kind = (FLAKY, []) if target == "/flaky" else (DOCUMENT, [("Content-Type", "text/html")])
            if ranges:
                start = int(ranges[0].split("-")[0])
                send(head("206 Partial Content", kind + [
                    ("Content-Length", len(document) - start),
                    ("Content-Range", f"bytes {start}-{len(document) - 1}/{len(document)}")]) + document[start:])
            elif target == "/flaky":
                send(head("200 OK", [("Content-Length", len(FLAKY))]) + FLAKY[:1000])
                self.reset()
            else:
                send(head("200 OK", kind + [("Content-Length", len(DOCUMENT))]) + DOCUMENT[:len(DOCUMENT) // 2])
        elif target == "/big-resume":
            send(head("416 Range Not Satisfiable", [("Content-Type", "text/html")]) + b"<p>no</p>")
        elif target == "/site/heads/moved":
            send(head("302 Found", [("Location", "d.html#frag")]))
        elif target.split("?")[0] in SITE:
            send(head("200 OK", [("Content-Type", "text/html")]) + SITE[target.split("?")[0]].encode())
        elif target.startswith("/html/"):
            send(head("200 OK", [("Content-Type", "text/html")]) + DOCUMENT)
        else:
            send(head("404 Not Found", [("Content-Type", "text/html")]) + b"<p>not here</p>")

    def reset(self):
        """Resets the connection once what was sent has had the time to arrive."""
        time.sleep(0.3)
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))

    def wait_for_close(self):
        self.request.settimeout(30)
        try:
            while self.request.recv(4096):
                pass
        except OSError:
            pass


if __name__ == "__main__":
    serve(Handler, PORT)
