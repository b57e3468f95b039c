#!/usr/bin/python3
"""Starts a private proxy for the integration tests, in the foreground, on 127.0.0.1:PORT for
loopback clients, its configuration and logs in WORKDIR.

Usage: proxy_servers.py PORT dante WORKDIR none|username [USER PASSWORD]
           Dante, to loopback destinations (::1 too). It checks logins against the system's
           accounts: USER is created with PASSWORD when missing (root only; CI runs as root).
       proxy_servers.py PORT tinyproxy WORKDIR USER PASSWORD
           tinyproxy asking for Basic authentication; it logs to its standard error.
       proxy_servers.py PORT ftp-proxy WORKDIR SERVER_PORT
           ftp-proxy; "USER user@host" logs in as user at host, port SERVER_PORT.
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


def dante(port, workdir, method, *login):
    if method == "username":
        ensure_user(*login)
    run_configured(workdir, "danted.conf", f"""logoutput: {workdir}/danted.log
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


def tinyproxy(port, workdir, user, password):
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


def ftp_proxy(port, workdir, server_port):
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


{"dante": dante, "tinyproxy": tinyproxy, "ftp-proxy": ftp_proxy}[sys.argv[2]](sys.argv[1], *sys.argv[3:])
