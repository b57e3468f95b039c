#!/usr/bin/python3
"""A small site that asks its clients to slow down, for the politeness tests.

Usage: http_polite.py PORT LOG
Every answer takes 0.3 s. /index.html links /p1.html to /p8.html, pages naming themselves; the
first request of /p1.html is answered "429 Too Many Requests" with "Retry-After: 2". After every
answer "PATH STATUS SECONDS-SINCE-START" is appended to LOG; LOG.max holds the most connections
that were open at once so far.
"""
import threading
import time

from loopback_server import Handler, argument, head, main

LOG = argument(2)
PAGES = [f"/p{n}.html" for n in range(1, 9)]
START = time.monotonic()
lock = threading.Lock()
state = {"open": 0, "max": 0, "refused": set()}


def reply(target):
    if target == "/index.html":
        links = "".join(f'<a href="{page}">{page}</a>' for page in PAGES)
        return 200, head("200 OK", [("Content-Type", "text/html")]) + links.encode()
    with lock:
        first = target == "/p1.html" and target not in state["refused"]
        state["refused"].add(target)
    if first:
        return 429, head("429 Too Many Requests", [
            ("Content-Type", "text/html"), ("Retry-After", "2")]) + b"<p>slow down</p>"
    if target in PAGES:
        return 200, head("200 OK", [("Content-Type", "text/html")]) + f"page {target}".encode()
    return 404, head("404 Not Found", [("Content-Type", "text/html")]) + b"<p>not here</p>"


class Polite(Handler):
    def answer(self, request, target):
        with lock:
            state["open"] += 1
            if state["open"] > state["max"]:
                state["max"] = state["open"]
                with open(LOG + ".max", "w") as out:
                    out.write(str(state["max"]))
        try:
            status, data = reply(target)
            time.sleep(0.3)
            self.request.sendall(data)
            with lock, open(LOG, "a") as log:
                log.write(f"{target} {status} {time.monotonic() - START:.2f}\n")
        finally:
            with lock:
                state["open"] -= 1


main(Polite)
