#!/usr/bin/python3
"""Starts a private pyftpdlib FTP server for the integration tests, in the foreground.

Usage: ftp_pyftpdlib.py PORT ROOT [--refuse-size] [--ipv6]
On 127.0.0.1 (::1 with --ipv6), actively and passively: "anna"/"secret" reads and writes ROOT.
--refuse-size answers SIZE "500 SIZE not understood." for a file and "213 4096" for a directory,
as servers that take a directory for a file do.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    refuse_size = False

    def ftp_SIZE(self, path):
        if self.refuse_size:
            self.respond("213 4096" if self.fs.isdir(path) else "500 SIZE not understood.")
            return
        return super().ftp_SIZE(path)


port, root = int(sys.argv[1]), sys.argv[2]
authorizer = DummyAuthorizer()
authorizer.add_user("anna", "secret", root, perm="elradfmwMT")
Handler.authorizer = authorizer
Handler.refuse_size = "--refuse-size" in sys.argv[3:]
logging.basicConfig(level=logging.INFO)
server = FTPServer(("::1" if "--ipv6" in sys.argv[3:] else "127.0.0.1", port), Handler)
server.serve_forever()

