#!/usr/bin/python3
"""A small scripted SOCKS server for what the real servers do not offer: SOCKS 4A, and failure
replies on demand.

Usage: socks_scripted.py PORT
Answers SOCKS 4, 4A and 5 (no authentication) connect requests by connecting to the destination
(a 4A or 5 name is resolved here) and relaying both ways; a request for a destination port below
256 is answered with that port as its reply code instead.
"""
import socket
import socketserver
import struct
import threading

from loopback_server import main


def read_exactly(sock, count):
    data = b""
    while len(data) < count:
        piece = sock.recv(count - len(data))
        if not piece:
            raise ConnectionError("client went away")
        data += piece
    return data


def read_zero_terminated(sock):
    data = b""
    while (byte := read_exactly(sock, 1)) != b"\0":
        data += byte
    return data


def pump(source, target):
    try:
        while data := source.recv(65536):
            target.sendall(data)
        target.shutdown(socket.SHUT_WR)
    except OSError:
        pass


class Socks(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        try:
            version = read_exactly(client, 1)[0]
            host, port = self.socks4(client) if version == 4 else self.socks5(client)
            if host is None:
                return
            try:
                target = socket.create_connection((host, port), timeout=5) if port >= 256 else None
            except OSError:
                target = None
            refused, granted = (91, 90) if version == 4 else (5, 0)
            code = port if port < 256 else granted if target else refused
            client.sendall(bytes([0, code]) + b"\0" * 6 if version == 4 else
                           bytes([5, code, 0, 1, 127, 0, 0, 1]) + struct.pack("!H", port))
            if target is not None:
                with target:
                    target.settimeout(None)
                    back = threading.Thread(target=pump, args=(target, client), daemon=True)
                    back.start()
                    pump(client, target)
                    back.join()
        except (ConnectionError, OSError):
            pass

    @staticmethod
    def socks4(client):
        _command, port = struct.unpack("!BH", read_exactly(client, 3))
        address = read_exactly(client, 4)
        read_zero_terminated(client)  # user code
        if address[:3] == b"\0\0\0" and address[3] != 0:
            return read_zero_terminated(client).decode(), port
        return socket.inet_ntoa(address), port

    @staticmethod
    def socks5(client):
        if 0 not in read_exactly(client, read_exactly(client, 1)[0]):
            client.sendall(b"\x05\xff")
            return None, 0
        client.sendall(b"\x05\x00")
        kind = read_exactly(client, 4)[3]
        if kind not in (1, 3):
            client.sendall(b"\x05\x08\x00\x01" + b"\0" * 6)
            return None, 0
        length = 4 if kind == 1 else read_exactly(client, 1)[0]
        host = read_exactly(client, length)
        host = socket.inet_ntoa(host) if kind == 1 else host.decode()
        return host, struct.unpack("!H", read_exactly(client, 2))[0]


main(Socks)
