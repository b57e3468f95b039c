#!/usr/bin/python3
"""Starts a private vsftpd for the integration tests, in the foreground.

Usage: ftp_vsftpd.py PORT ROOT WORKDIR
Listens on 127.0.0.1 only and serves ROOT read-only to anonymous users, whom USER alone logs in
(230, no PASS). The configuration, the log and the empty secure directory live in WORKDIR.
Active and passive data connections are both allowed.
"""
import os
import sys

from loopback_server import run_configured

if __name__ == "__main__":
    port, root, workdir = sys.argv[1:4]
    empty = os.path.join(workdir, "empty")
    os.makedirs(empty, exist_ok=True)
    os.chmod(empty, 0o555)
    run_configured(workdir, "vsftpd.conf", f"""listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port={port}
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root={root}
local_enable=NO
write_enable=NO
pasv_enable=YES
port_enable=YES
connect_from_port_20=NO
secure_chroot_dir={empty}
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=YES
vsftpd_log_file={workdir}/vsftpd.log
""", ["vsftpd", "CONFIG"])
