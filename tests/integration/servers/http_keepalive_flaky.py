#!/usr/bin/python3
"""A static HTTP/1.1 server that keeps connections and drops them at random, for the tests.

Usage: http_keepalive_flaky.py PORT ROOT SEED
Serves ROOT ("/dir/" as /dir/index.html). Chosen at random from SEED: a body with a length or
in chunks of random sizes (extensions now and then, a trailer); a close after an answer; a
request on a kept connection left unanswered and its connection closed, as by a server giving up
on an idle connection just as the client speaks. Each request is appended to ROOT/../requests.log
as "<connection> <request line> <outcome>".
"""
import itertools
import os
import random
import socketserver
import sys
import threading

from loopback_server import head, main

ROOT = os.path.abspath(sys.argv[2])
RANDOM = random.Random(int(sys.argv[3]))
LOCK = threading.Lock()
LOG = os.path.join(os.path.dirname(ROOT), "requests.log")
TYPES = {".html": "text/html", ".png": "image/png"}
CLOSE_AFTER, IGNORE_KEPT, CHUNKED = 0.15, 0.15, 0.4
connections = itertools.count(1)


def chance(p):
    with LOCK:
        return RANDOM.random() < p


def chunked(body):
    out, at = [], 0
    while at < len(body):
        with LOCK:
            size = RANDOM.randint(1, 3000)
            extension = b";x=1" if RANDOM.random() < 0.2 else b""
        piece = body[at:at + size]
        out.append(b"%x%s\r\n%s\r\n" % (len(piece), extension, piece))
        at += size
    return b"".join(out) + b"0\r\nX-Checked: yes\r\n\r\n"


class Flaky(socketserver.StreamRequestHandler):
    def handle(self):
        connection, served, outcome = next(connections), 0, ""
        while not outcome.endswith(("closed", "dropped")):
            request = self.rfile.readline(65537).decode("latin-1").strip()
            while request and self.rfile.readline(65537) not in (b"\r\n", b"\n", b""):
                pass
            if not request:
                return
            if served > 0 and chance(IGNORE_KEPT):
                outcome = "dropped"
            else:
                served += 1
                path = request.split(" ")[1].split("?")[0] if request.count(" ") >= 2 else "/"
                file = os.path.normpath(os.path.join(ROOT, (path + ("index.html" if path.endswith("/") else "")).lstrip("/")))
                status, body, kind = "404 Not Found", b"<html>not here</html>\n", "text/html"
                if file.startswith(ROOT) and os.path.isfile(file):
                    with open(file, "rb") as source:
                        status, body, kind = "200 OK", source.read(), TYPES.get(os.path.splitext(file)[1], "text/plain")
                framing = ("Transfer-Encoding", "chunked") if chance(CHUNKED) else ("Content-Length", len(body))
                self.wfile.write(head(status, [("Content-Type", kind), framing], "HTTP/1.1")
                                 + (chunked(body) if framing[0] == "Transfer-Encoding" else body))
                self.wfile.flush()
                outcome = status + (" closed" if chance(CLOSE_AFTER) else "")
            with LOCK, open(LOG, "a") as out:
                out.write(f"{connection} {request} {outcome}\n")


main(Flaky)
