#!/usr/bin/python3
"""Starts a private ftp-proxy (SuSE proxy suite) for the integration tests, in the foreground.

Usage: ftp_proxy.py PORT SERVER_PORT WORKDIR
Listens on 127.0.0.1:PORT and takes "USER user@host" to log in as user at host, port
SERVER_PORT. The configuration and the log live in WORKDIR.
"""
import os
import sys

TEMPLATE = """[-Global-]
ServerType standalone
Listen 127.0.0.1
Port {port}
AllowMagicUser yes
DestinationAddress 127.0.0.1
DestinationPort {server_port}
DestinationTransferMode passive
LogDestination {workdir}/ftp-proxy.log
PidFile {workdir}/ftp-proxy.pid
"""


def main():
    port, server_port, workdir = sys.argv[1], sys.argv[2], sys.argv[3]
    config = os.path.join(workdir, "ftp-proxy.conf")
    with open(config, "w") as out:
        out.write(TEMPLATE.format(port=port, server_port=server_port, workdir=workdir))
    os.execvp("ftp-proxy", ["ftp-proxy", "-d", "-n", "-f", config])


if __name__ == "__main__":
    main()
