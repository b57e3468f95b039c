#!/usr/bin/python3
"""A small site that asks its clients to slow down, for the politeness tests.

Usage: http_polite.py PORT LOG
Listens on 127.0.0.1; every answer takes 0.3 s and ends by closing the connection.
  /index.html      links /p1.html to /p8.html
  /pN.html         a page naming itself; the first request of /p1.html is answered
                   "429 Too Many Requests" with "Retry-After: 2" and a small body
  anything else    404
After every answer a line "PATH STATUS SECONDS-SINCE-START" is appended to LOG, and the file
LOG.max holds the most connections that were open at once so far.
"""
import socketserver
import sys
import threading
import time

from loopback_server import read_head, serve

PORT = int(sys.argv[1])
LOG = sys.argv[2]
PAGES = [f"/p{n}.html" for n in range(1, 9)]
START = time.monotonic()
lock = threading.Lock()
state = {"open": 0, "max": 0, "refused": set()}


def head(status, fields=()):
    lines = [f"HTTP/1.0 {status}"] + [f"{name}: {value}" for name, value in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def answer(target):
    if target == "/index.html":
        links = "".join(f'<a href="{page}">{page}</a>' for page in PAGES)
        return 200, head("200 OK", [("Content-Type", "text/html")]) + links.encode()
    if target in PAGES:
        with lock:
            first = target == "/p1.html" and target not in state["refused"]
            state["refused"].add(target)
        if first:
            return 429, head("429 Too Many Requests", [
                ("Content-Type", "text/html"), ("Retry-After", "2")]) + b"<p>slow down</p>"
        return 200, head("200 OK", [("Content-Type", "text/html")]) + f"page {target}".encode()
    return 404, head("404 Not Found", [("Content-Type", "text/html")]) + b"<p>not here</p>"


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        with lock:
            state["open"] += 1
            if state["open"] > state["max"]:
                state["max"] = state["open"]
                with open(LOG + ".max", "w") as out:
                    out.write(str(state["max"]))
        try:
            data = read_head(self.request)
            line = data.split(b"\r\n")[0].split(b" ")
            target = line[1].decode() if len(line) > 1 else "/"
            status, reply = answer(target)
            time.sleep(0.3)
            self.request.sendall(reply)
            with lock, open(LOG, "a") as log:
                log.write(f"{target} {status} {time.monotonic() - START:.2f}\n")
        finally:
            with lock:
                state["open"] -= 1


if __name__ == "__main__":
    serve(Handler, PORT)
