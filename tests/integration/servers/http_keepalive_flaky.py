#!/usr/bin/python3
"""A static HTTP/1.1 server that keeps connections and drops them at random, for the tests.

Usage: http_keepalive_flaky.py PORT ROOT SEED
Serves the files of ROOT on 127.0.0.1:PORT ("/dir/" as /dir/index.html, 404 with a short page
otherwise), keeping each connection for the next request. Chosen at random from SEED: a body goes
with a Content-Length or in chunks of random sizes (with an extension now and then, and a
trailer); after an answer the connection is closed without a word; a request that arrives on a
kept connection is not answered and its connection is closed, as when a server gives up on an
idle connection just as the client speaks. A connection's first request is always answered.
Each request is appended to ROOT/../requests.log as "<connection> <request line> <outcome>".
"""
import os
import random
import socketserver
import sys
import threading

from loopback_server import serve

PORT = int(sys.argv[1])
ROOT = sys.argv[2]
RANDOM = random.Random(int(sys.argv[3]))
LOCK = threading.Lock()
LOG = os.path.join(os.path.dirname(os.path.abspath(ROOT)), "requests.log")
TYPES = {".html": "text/html", ".png": "image/png"}
CLOSE_AFTER = 0.15
IGNORE_KEPT = 0.15
CHUNKED = 0.4
connections = 0


def chance(p):
    with LOCK:
        return RANDOM.random() < p


def log(line):
    with LOCK:
        with open(LOG, "a") as out:
            out.write(line + "\n")


def chunked(body):
    out, at = [], 0
    while at < len(body):
        with LOCK:
            size = RANDOM.randint(1, 3000)
            extension = ";x=1" if RANDOM.random() < 0.2 else ""
        piece = body[at:at + size]
        out.append(b"%x%s\r\n%s\r\n" % (len(piece), extension.encode(), piece))
        at += size
    out.append(b"0\r\nX-Checked: yes\r\n\r\n")
    return b"".join(out)


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        global connections
        with LOCK:
            connections += 1
            connection = connections
        served = 0
        while True:
            request = self.rfile.readline(65537)
            if not request:
                return
            while self.rfile.readline(65537) not in (b"\r\n", b"\n", b""):
                pass
            line = request.decode("latin-1").strip()
            if served > 0 and chance(IGNORE_KEPT):
                log(f"{connection} {line} dropped")
                return
            served += 1
            path = line.split(" ")[1].split("?")[0] if line.count(" ") >= 2 else "/"
            if path.endswith("/"):
                path += "index.html"
            file = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
            if file.startswith(os.path.abspath(ROOT)) and os.path.isfile(file):
                status = b"200 OK"
                with open(file, "rb") as source:
                    body = source.read()
                kind = TYPES.get(os.path.splitext(file)[1], "text/plain")
            else:
                status, body, kind = b"404 Not Found", b"<html>not here</html>\n", "text/html"
            head = b"HTTP/1.1 " + status + b"\r\nContent-Type: " + kind.encode() + b"\r\n"
            if chance(CHUNKED):
                self.wfile.write(head + b"Transfer-Encoding: chunked\r\n\r\n" + chunked(body))
            else:
                self.wfile.write(head + b"Content-Length: %d\r\n\r\n" % len(body) + body)
            self.wfile.flush()
            closed = chance(CLOSE_AFTER)
            log(f"{connection} {line} {status.decode()}{' closed' if closed else ''}")
            if closed:
                return


serve(Handler, PORT)
