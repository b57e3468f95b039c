#!/usr/bin/python3
"""A small scripted SOCKS server for what the real servers do not offer: SOCKS 4A.

Usage: socks_scripted.py PORT
Answers SOCKS 4 and 4A connect requests by connecting to the destination (a 4A name is resolved
here) and relaying both ways.
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
            _version, _command, port = struct.unpack("!BBH", read_exactly(client, 4))
            address = read_exactly(client, 4)
            read_zero_terminated(client)  # user code
            four_a = address[:3] == b"\0\0\0" and address[3] != 0
            host = read_zero_terminated(client).decode() if four_a else socket.inet_ntoa(address)
            try:
                target = socket.create_connection((host, port), timeout=5)
            except OSError:
                target = None
            client.sendall(bytes([0, 90 if target else 91]) + b"\0" * 6)
            if target is not None:
                with target:
                    target.settimeout(None)
                    back = threading.Thread(target=pump, args=(target, client), daemon=True)
                    back.start()
                    pump(client, target)
                    back.join()
        except (ConnectionError, OSError):
            pass


main(Socks)
