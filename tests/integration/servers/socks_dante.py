#!/usr/bin/python3
"""Starts a private Dante SOCKS server (danted) for the integration tests, in the foreground.

Usage: socks_dante.py PORT WORKDIR none|username [USER PASSWORD]
The configuration and log live in WORKDIR; the server listens on 127.0.0.1 only and lets loopback
clients connect to loopback destinations, the IPv6 loopback ::1 included. Dante checks user names and passwords against the
system's accounts, so the username mode creates USER with PASSWORD when it is missing (root
only; CI runs as root).
"""
import os
import pwd
import subprocess
import sys

from loopback_server import run_configured


def ensure_user(user, password):
    try:
        pwd.getpwnam(user)
    except KeyError:
        # Test programs may start side by side: another one may create the user meanwhile.
        subprocess.run(["useradd", "--no-create-home", "--shell", "/usr/sbin/nologin", user], check=False)
        pwd.getpwnam(user)
    subprocess.run(["chpasswd"], input=f"{user}:{password}\n".encode(), check=True)


if __name__ == "__main__":
    port, workdir, method = sys.argv[1:4]
    if method == "username":
        ensure_user(sys.argv[4], sys.argv[5])
    run_configured(workdir, "danted.conf", f"""logoutput: {os.path.join(workdir, 'danted.log')}
internal: 127.0.0.1 port = {port}
external: 127.0.0.1
external: ::1
clientmethod: none
socksmethod: {method}
user.privileged: root
user.unprivileged: nobody
client pass {{
    from: 127.0.0.0/8 to: 0.0.0.0/0
}}
socks pass {{
    from: 127.0.0.0/8 to: 127.0.0.0/8
    command: connect
}}
socks pass {{
    from: 127.0.0.0/8 to: ::1/128
    command: connect
}}
""", ["danted", "-f", "CONFIG", "-p", os.path.join(workdir, "danted.pid"), "-N", "1"])
