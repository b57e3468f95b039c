#!/usr/bin/python3
"""Starts a private nginx for the integration tests, in the foreground.

Usage: http_nginx.py PORT WORKDIR ROOT
Serves the static tree ROOT on 127.0.0.1:PORT as one process (no master, no workers), with its
configuration, logs, pid file and temporary directories in WORKDIR. SIGTERM stops it. Each line
of WORKDIR/access.log gives a request line, its Range header, the status, the body bytes sent
and the user agent.
/loop.html redirects to itself.
"""
import os
import sys


def main():
    port, workdir, root = sys.argv[1], sys.argv[2], sys.argv[3]
    config = os.path.join(workdir, "nginx.conf")
    with open(config, "w") as out:
        out.write(f"""daemon off;
master_process off;
pid {workdir}/nginx.pid;
error_log {workdir}/error.log;
events {{ worker_connections 64; }}
http {{
    log_format ranges '$request "$http_range" $status $body_bytes_sent "$http_user_agent"';
    access_log {workdir}/access.log ranges;
    client_body_temp_path {workdir}/client_body;
    proxy_temp_path {workdir}/proxy;
    fastcgi_temp_path {workdir}/fastcgi;
    uwsgi_temp_path {workdir}/uwsgi;
    scgi_temp_path {workdir}/scgi;
    types {{ text/html html; application/octet-stream bin; }}
    server {{
        listen 127.0.0.1:{port};
        root {root};
        location = /loop.html {{ return 302 /loop.html; }}
    }}
}}
""")
    os.execvp("nginx", ["nginx", "-p", workdir, "-e", os.path.join(workdir, "error.log"), "-c", config])


if __name__ == "__main__":
    main()
