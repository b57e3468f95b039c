#!/usr/bin/python3
"""A small scripted SOCKS server for the integration tests, for what the real servers do not
offer: SOCKS 4A, and failure replies on demand.

Usage: socks_scripted.py PORT MODE   (listens on 127.0.0.1 only)
  relay        answers SOCKS 4, 4A and 5 (no authentication) connect requests by connecting to
               the destination (a 4A or 5 name is resolved here) and relaying both ways
  fail:CODE    answers every connect request with reply code CODE (SOCKS 4 or 5 as asked)
"""
import socket
import socketserver
import struct
import sys
import threading

from loopback_server import serve

MODE = "relay"


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
    except OSError:
        pass
    finally:
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Socks(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        try:
            version = read_exactly(client, 1)[0]
            if version == 4:
                self.socks4(client)
            elif version == 5:
                self.socks5(client)
        except (ConnectionError, OSError):
            pass

    def socks4(self, client):
        _command, port = struct.unpack("!BH", read_exactly(client, 3))
        address = read_exactly(client, 4)
        read_zero_terminated(client)  # user code
        host = socket.inet_ntoa(address)
        if address[:3] == b"\0\0\0" and address[3] != 0:
            host = read_zero_terminated(client).decode()
        if MODE.startswith("fail:"):
            client.sendall(bytes([0, int(MODE[5:])]) + b"\0" * 6)
            return
        target = self.open(host, port)
        if target is None:
            client.sendall(bytes([0, 91]) + b"\0" * 6)
            return
        client.sendall(bytes([0, 90]) + b"\0" * 6)
        self.relay(client, target)

    def socks5(self, client):
        methods = read_exactly(client, read_exactly(client, 1)[0])
        if 0 not in methods:
            client.sendall(b"\x05\xff")
            return
        client.sendall(b"\x05\x00")
        _version, _command, _reserved, kind = read_exactly(client, 4)
        if kind == 1:
            host = socket.inet_ntoa(read_exactly(client, 4))
        elif kind == 3:
            host = read_exactly(client, read_exactly(client, 1)[0]).decode()
        else:
            client.sendall(b"\x05\x08\x00\x01" + b"\0" * 6)
            return
        port = struct.unpack("!H", read_exactly(client, 2))[0]
        if MODE.startswith("fail:"):
            client.sendall(bytes([5, int(MODE[5:]), 0, 1]) + b"\0" * 6)
            return
        target = self.open(host, port)
        if target is None:
            client.sendall(b"\x05\x05\x00\x01" + b"\0" * 6)
            return
        client.sendall(b"\x05\x00\x00\x01\x7f\x00\x00\x01" + struct.pack("!H", port))
        self.relay(client, target)

    @staticmethod
    def open(host, port):
        try:
            return socket.create_connection((host, port), timeout=5)
        except OSError:
            return None

    @staticmethod
    def relay(client, target):
        target.settimeout(None)
        back = threading.Thread(target=pump, args=(target, client), daemon=True)
        back.start()
        pump(client, target)
        back.join()
        target.close()


if __name__ == "__main__":
    MODE = sys.argv[2]
    serve(Socks, int(sys.argv[1]))
