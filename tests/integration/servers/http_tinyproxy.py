#!/usr/bin/python3
"""Starts a private tinyproxy for the integration tests, in the foreground.

Usage: http_tinyproxy.py PORT WORKDIR USER PASSWORD
Listens on 127.0.0.1:PORT, serves loopback clients only and asks for Basic authentication with
USER and PASSWORD. Its configuration lives in WORKDIR; it logs to its standard error.
"""
import os
import sys

from loopback_server import run_configured

if __name__ == "__main__":
    port, workdir, user, password = sys.argv[1:5]
    # As root, tinyproxy drops to an unprivileged user.
    drop = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""
    run_configured(workdir, "tinyproxy.conf", f"""Port {port}
Listen 127.0.0.1
Timeout 30
MaxClients 16
Allow 127.0.0.1
BasicAuth {user} {password}
DisableViaHeader Yes
LogLevel Notice
PidFile "{workdir}/tinyproxy.pid"
{drop}""", ["tinyproxy", "-d", "-c", "CONFIG"])
