#!/usr/bin/python3
"""Starts a private vsftpd for the integration tests, in the foreground.

Usage: ftp_vsftpd.py PORT ROOT WORKDIR
Serves ROOT on 127.0.0.1 to anonymous users, logged in by USER alone, read-only, actively and
passively as vsftpd does by default; its configuration, log and secure directory live in WORKDIR.
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
listen_address=127.0.0.1
listen_port={port}
anonymous_enable=YES
no_anon_password=YES
anon_root={root}
secure_chroot_dir={empty}
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=YES
vsftpd_log_file={workdir}/vsftpd.log
""", ["vsftpd", "CONFIG"])
