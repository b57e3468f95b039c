#!/usr/bin/python3
"""Starts a private ftp-proxy (SuSE proxy suite) for the integration tests, in the foreground.

Usage: ftp_proxy.py PORT SERVER_PORT WORKDIR
Listens on 127.0.0.1:PORT and takes "USER user@host" to log in as user at host, port
SERVER_PORT. The configuration and the log live in WORKDIR.
"""
import sys

from loopback_server import run_configured

if __name__ == "__main__":
    port, server_port, workdir = sys.argv[1:4]
    run_configured(workdir, "ftp-proxy.conf", f"""[-Global-]
ServerType standalone
Listen 127.0.0.1
Port {port}
AllowMagicUser yes
DestinationAddress 127.0.0.1
DestinationPort {server_port}
DestinationTransferMode passive
LogDestination {workdir}/ftp-proxy.log
PidFile {workdir}/ftp-proxy.pid
""", ["ftp-proxy", "-d", "-n", "-f", "CONFIG"])
